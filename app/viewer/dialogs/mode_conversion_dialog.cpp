#include "mode_conversion_dialog.hpp"

#include <algorithm>
#include <cstring>

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "lumapix/pixel_formulas.h"
#include "scroll_edit.hpp"

namespace lumapix {

namespace {

constexpr int kModeRows = 5;
constexpr int kCoefficientMin = -128;
constexpr int kCoefficientMax = 127;
constexpr int kThresholdStart = 128;

QGroupBox* Framed(const QString& title, QWidget* content, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

}  // namespace

ModeConversionDialog::ModeConversionDialog(const XrImage& image, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("画像モード変換"));

    // Target modes, codes 1..10: the 16-bit variants beside their 8-bit modes.
    auto* modeBox = new QGroupBox(QStringLiteral("画像モード"), this);
    auto* modeGrid = new QGridLayout(modeBox);
    modes_ = new QButtonGroup(this);
    for (int32_t mode = XR_MODE_RGB; mode <= XR_MODE_HIGH; ++mode) {
        auto* button = new QRadioButton(QString::fromLatin1(ImageModeName(mode)), modeBox);
        modes_->addButton(button, mode);
        modeGrid->addWidget(button, (mode - 1) % kModeRows, (mode - 1) / kModeRows);
    }

    auto* monoBox = new QGroupBox(QStringLiteral("MONO"), this);
    auto* monoLayout = new QVBoxLayout(monoBox);
    monoFormats_ = new QButtonGroup(this);
    for (int format = XR_PALFMT_BLACKISZERO; format <= XR_PALFMT_WHITEISZERO; ++format) {
        auto* button = new QRadioButton(
            format == XR_PALFMT_BLACKISZERO ? QStringLiteral("BLACKISZERO") : QStringLiteral("WHITEISZERO"), monoBox);
        monoFormats_->addButton(button, format);
        monoLayout->addWidget(button);
    }

    dither_ = new QComboBox(this);
    dither_->addItems({QStringLiteral("0 LINE"), QStringLiteral("1 LINE"), QStringLiteral("2 LINE"),
                       QStringLiteral("3 LINE"), QStringLiteral("2x2 Pattern"), QStringLiteral("4x4 Pattern"),
                       QStringLiteral("8x8 Pattern"), QStringLiteral("16x16 Pattern")});
    ditherBox_ = Framed(QStringLiteral("誤差拡散モード"), dither_, this);
    coefficient_ = new ScrollEdit(kCoefficientMin, kCoefficientMax, 0, this);
    coefficientBox_ = Framed(QStringLiteral("誤差拡散係数"), coefficient_, this);
    threshold_ = new ScrollEdit(0, 255, kThresholdStart, this);
    thresholdBox_ = Framed(QStringLiteral("閾値"), threshold_, this);

    // Choosing the user palette is where the palette editor opens on userPalette_
    // (its Cancel returning the choice to the system palette); until the editor
    // exists the palette is taken as it stands.
    paletteBox_ = new QGroupBox(this);
    auto* paletteLayout = new QHBoxLayout(paletteBox_);
    systemPalette_ = new QRadioButton(QStringLiteral("システムパレット"), paletteBox_);
    userPaletteButton_ = new QRadioButton(QStringLiteral("ユーザーパレット"), paletteBox_);
    systemPalette_->setChecked(true);
    paletteLayout->addWidget(systemPalette_);
    paletteLayout->addWidget(userPaletteButton_);

    // An INDEX image lends its own palette as the starting user palette; anything
    // else starts from the system palette until the editor supplies its defaults.
    if (image.MODE == XR_MODE_INDEX && image.PALBUT && image.PALCOUNT > 0) {
        size_t bytes = std::min<size_t>(size_t{image.PALCOUNT} * 4, kPaletteBytes);
        std::memcpy(userPalette_.data(), image.PALBUT, bytes);
    } else {
        std::memcpy(userPalette_.data(), SystemPalette, kPaletteBytes);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(modeBox);
    left->addWidget(monoBox);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(ditherBox_);
    right->addWidget(coefficientBox_);
    right->addWidget(thresholdBox_);
    right->addWidget(paletteBox_);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setMode(image.MODE);
    setMonoPaletteFormat(image.PALFMT);
    connect(modes_, &QButtonGroup::idToggled, this, &ModeConversionDialog::updateEnabled);
    connect(dither_, &QComboBox::currentIndexChanged, this, &ModeConversionDialog::updateEnabled);
    updateEnabled();
}

void ModeConversionDialog::updateEnabled() {
    int32_t target = mode();
    bool quantised = target == XR_MODE_INDEX || target == XR_MODE_MONO;
    bool continuous = target == XR_MODE_RGB || target == XR_MODE_YUV || target == XR_MODE_GRAY ||
                      target == XR_MODE_RGBW || target == XR_MODE_YUVW || target == XR_MODE_GRAYW;
    ditherBox_->setEnabled(!continuous);
    paletteBox_->setEnabled(target == XR_MODE_INDEX);
    coefficientBox_->setEnabled(quantised && dither_->currentIndex() != 0);
    thresholdBox_->setEnabled(target == XR_MODE_MONO);
    ok_->setEnabled(target != 0);
}

int32_t ModeConversionDialog::mode() const { return std::max(modes_->checkedId(), 0); }

int32_t ModeConversionDialog::ditherMode() const { return dither_->currentIndex(); }

int32_t ModeConversionDialog::coefficient() const { return coefficient_->value(); }

int32_t ModeConversionDialog::threshold() const { return threshold_->value(); }

bool ModeConversionDialog::userPaletteChosen() const { return userPaletteButton_->isChecked(); }

const uint8_t* ModeConversionDialog::paletteArgument() const {
    return userPaletteChosen() ? userPalette_.data() : nullptr;
}

uint8_t ModeConversionDialog::monoPaletteFormat() const {
    return monoFormats_->checkedId() == XR_PALFMT_WHITEISZERO ? XR_PALFMT_WHITEISZERO : XR_PALFMT_BLACKISZERO;
}

void ModeConversionDialog::setMode(int32_t mode) {
    if (QAbstractButton* button = modes_->button(mode)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = modes_->checkedButton()) {
        // No radio for this mode: clear the choice (exclusive groups refuse to uncheck).
        modes_->setExclusive(false);
        checked->setChecked(false);
        modes_->setExclusive(true);
    }
}

void ModeConversionDialog::setDitherMode(int32_t ditherMode) {
    dither_->setCurrentIndex(std::clamp(ditherMode, 0, dither_->count() - 1));
}

void ModeConversionDialog::setCoefficient(int32_t coefficient) { coefficient_->setValue(coefficient); }

void ModeConversionDialog::setThreshold(int32_t threshold) { threshold_->setValue(threshold); }

void ModeConversionDialog::setUserPaletteChosen(bool chosen) {
    (chosen ? userPaletteButton_ : systemPalette_)->setChecked(true);
}

void ModeConversionDialog::setMonoPaletteFormat(uint8_t format) {
    monoFormats_->button(format == XR_PALFMT_WHITEISZERO ? XR_PALFMT_WHITEISZERO : XR_PALFMT_BLACKISZERO)
        ->setChecked(true);
}

void ModeConversionDialog::accept() {
    // A box still being typed into has moved its bar already; tidy its text.
    coefficient_->commitEdit();
    threshold_->commitEdit();
    QDialog::accept();
}

}  // namespace lumapix
