#include "mono_palette_dialog.hpp"

#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumapix {

MonoPaletteDialog::MonoPaletteDialog(DecodeOptions* options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("モノクロ画像 デコードオプション"));

    blackIsZero_ = new QRadioButton(QStringLiteral("BLACKISZERO"), this);
    whiteIsZero_ = new QRadioButton(QStringLiteral("WHITEISZERO"), this);
    setPaletteFormat(options->monoPaletteFormat);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(blackIsZero_);
    layout->addWidget(whiteIsZero_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

uint8_t MonoPaletteDialog::paletteFormat() const { return whiteIsZero_->isChecked() ? 1 : 0; }

void MonoPaletteDialog::setPaletteFormat(uint8_t format) {
    (format == 1 ? whiteIsZero_ : blackIsZero_)->setChecked(true);
}

void MonoPaletteDialog::accept() {
    options_->monoPaletteFormat = paletteFormat();
    QDialog::accept();
}

}  // namespace lumapix
