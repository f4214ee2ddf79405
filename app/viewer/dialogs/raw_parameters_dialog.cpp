#include "raw_parameters_dialog.hpp"

#include <algorithm>
#include <cstdlib>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "lumapix/xr_image.h"

namespace lumapix {

namespace {

constexpr int kMaxBits = 16;
constexpr int kMaxGeometry = 65535;  // the options hold 16-bit geometry
constexpr int kModeCount = XR_MODE_GRAYW + 1;

}  // namespace

int8_t RawFormatFrom(int bitsIndex, bool isSigned) {
    int bits = std::clamp(bitsIndex, 0, kMaxBits);
    // "0(=8)" keeps its sign as -8: a signed format of 0 could not be told from unsigned.
    if (isSigned) return static_cast<int8_t>(-(bits == 0 ? 8 : bits));
    return static_cast<int8_t>(bits);
}

RawParametersDialog::RawParametersDialog(const QString& fileName, DecodeOptions* options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("RAW画像情報設定"));

    auto* name = new QLabel(fileName, this);
    name->setObjectName(QStringLiteral("fileName"));

    mode_ = new QComboBox(this);
    for (const char* label : {"XR_MODE_UNK", "XR_MODE_RGB", "XR_MODE_YUV", "XR_MODE_GRAY", "XR_MODE_INDEX",
                              "XR_MODE_MONO", "XR_MODE_RGBW", "XR_MODE_YUVW", "XR_MODE_GRAYW"})
        mode_->addItem(QString::fromLatin1(label));
    mode_->setCurrentIndex(options->rawMode >= 0 && options->rawMode < kModeCount ? options->rawMode : 0);

    bits_ = new QComboBox(this);
    bits_->addItem(QStringLiteral("0(=8)"));
    for (int bits = 1; bits <= kMaxBits; ++bits) bits_->addItem(QString::number(bits));
    bits_->setCurrentIndex(std::min(std::abs(int{options->rawFormat}), kMaxBits));
    signed_ = new QCheckBox(QStringLiteral("Signed"), this);
    signed_->setChecked(options->rawFormat < 0);
    auto* bitsRow = new QHBoxLayout;
    bitsRow->addWidget(bits_);
    bitsRow->addWidget(signed_);

    width_ = new QSpinBox(this);
    width_->setRange(1, kMaxGeometry);
    width_->setValue(options->rawWidth);
    height_ = new QSpinBox(this);
    height_->setRange(0, kMaxGeometry);
    height_->setValue(options->rawHeight);
    lineBytes_ = new QSpinBox(this);
    lineBytes_->setRange(0, kMaxGeometry);
    lineBytes_->setValue(options->rawLineBytes);

    paletteFormat_ = new QComboBox(this);
    paletteFormat_->addItems({QStringLiteral("BLACKISZERO"), QStringLiteral("WHITEISZERO")});
    paletteFormat_->setCurrentIndex(options->rawPaletteFormat == 1 ? 1 : 0);

    // Shown for the layout of planar data; the decoder has no use for it yet.
    auto* planarOffset = new QSpinBox(this);
    planarOffset->setObjectName(QStringLiteral("planarOffset"));
    planarOffset->setRange(0, kMaxGeometry);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("画像モード"), mode_);
    form->addRow(QStringLiteral("ビット"), bitsRow);
    form->addRow(QStringLiteral("幅"), width_);
    form->addRow(QStringLiteral("高さ"), height_);
    form->addRow(QStringLiteral("ラインバイト"), lineBytes_);
    form->addRow(QStringLiteral("Bie-Palfmt"), paletteFormat_);
    form->addRow(QStringLiteral("PLANAR OFFSET"), planarOffset);

    // Connected after presetting so that a stored line interval survives opening.
    connect(mode_, &QComboBox::currentIndexChanged, this, &RawParametersDialog::refillLineBytes);
    connect(width_, &QSpinBox::valueChanged, this, &RawParametersDialog::refillLineBytes);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void RawParametersDialog::refillLineBytes() {
    uint32_t bytes = ImageLineBytes(mode_->currentIndex(), static_cast<uint32_t>(width_->value()));
    lineBytes_->setValue(static_cast<int>(std::min<uint32_t>(bytes, kMaxGeometry)));
}

DecodeOptions RawParametersDialog::edited() const {
    DecodeOptions result = *options_;
    result.rawMode = mode_->currentIndex();
    result.rawFormat = RawFormatFrom(bits_->currentIndex(), signed_->isChecked());
    result.rawWidth = static_cast<uint16_t>(width_->value());
    result.rawHeight = static_cast<uint16_t>(height_->value());
    result.rawLineBytes = static_cast<uint16_t>(lineBytes_->value());
    result.rawPaletteFormat = static_cast<uint8_t>(paletteFormat_->currentIndex());
    return result;
}

void RawParametersDialog::accept() {
    *options_ = edited();
    QDialog::accept();
}

}  // namespace lumapix
