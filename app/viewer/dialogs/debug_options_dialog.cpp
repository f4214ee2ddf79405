#include "debug_options_dialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

#include "lumapix/xr_image.h"

namespace lumapix {

namespace {

constexpr int kMax16 = 65535;  // the size and clip fields are 16-bit

QSpinBox* SixteenBitBox(uint16_t value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(0, kMax16);
    box->setValue(value);
    return box;
}

uint16_t SixteenBit(const QSpinBox* box) { return static_cast<uint16_t>(box->value()); }

}  // namespace

DebugOptionsDialog::DebugOptionsDialog(DecodeOptions* options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("Debug Option"));

    line_ = new QCheckBox(QStringLiteral("Line"), this);
    line_->setChecked(options->line != 0);
    stretch_ = new QCheckBox(QStringLiteral("Stretch"), this);
    stretch_->setChecked(options->stretch != 0);

    mode_ = new QComboBox(this);
    mode_->addItem(QStringLiteral("指定なし"));
    for (int32_t mode = XR_MODE_RGB; mode <= XR_MODE_HIGH; ++mode)
        mode_->addItem(QString::fromLatin1(ImageModeName(mode)));
    const bool knownMode = options->targetMode >= 0 && options->targetMode <= XR_MODE_HIGH;
    mode_->setCurrentIndex(knownMode ? options->targetMode : 0);

    width_ = SixteenBitBox(options->targetWidth, this);
    height_ = SixteenBitBox(options->targetHeight, this);

    paletteFormat_ = new QComboBox(this);
    paletteFormat_->addItems({QStringLiteral("BLACKISZERO"), QStringLiteral("WHITEISZERO")});
    paletteFormat_->setCurrentIndex(options->monoPaletteFormat == 1 ? 1 : 0);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Mode"), mode_);
    form->addRow(QStringLiteral("Width"), width_);
    form->addRow(QStringLiteral("Heigth"), height_);
    form->addRow(QStringLiteral("Palfmt"), paletteFormat_);

    auto* clip = new QGroupBox(QStringLiteral("Clipping Rect"), this);
    clipX_ = SixteenBitBox(options->clipX, clip);
    clipY_ = SixteenBitBox(options->clipY, clip);
    clipWidth_ = SixteenBitBox(options->clipWidth, clip);
    clipHeight_ = SixteenBitBox(options->clipHeight, clip);
    auto* clipForm = new QFormLayout(clip);
    clipForm->addRow(QStringLiteral("x"), clipX_);
    clipForm->addRow(QStringLiteral("y"), clipY_);
    clipForm->addRow(QStringLiteral("Width"), clipWidth_);
    clipForm->addRow(QStringLiteral("Height"), clipHeight_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(line_);
    layout->addWidget(stretch_);
    layout->addLayout(form);
    layout->addWidget(clip);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

DecodeOptions DebugOptionsDialog::edited() const {
    DecodeOptions result = *options_;
    result.line = line_->isChecked() ? 1 : 0;
    result.stretch = stretch_->isChecked() ? 1 : 0;
    result.targetMode = mode_->currentIndex();
    result.targetWidth = SixteenBit(width_);
    result.targetHeight = SixteenBit(height_);
    result.monoPaletteFormat = static_cast<uint8_t>(paletteFormat_->currentIndex());
    result.clipX = SixteenBit(clipX_);
    result.clipY = SixteenBit(clipY_);
    result.clipWidth = SixteenBit(clipWidth_);
    result.clipHeight = SixteenBit(clipHeight_);
    return result;
}

void DebugOptionsDialog::accept() {
    *options_ = edited();
    QDialog::accept();
}

}  // namespace lumapix
