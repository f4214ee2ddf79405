#include "decode_options_dialog.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace lumapix {

DecodeOptionsDialog::DecodeOptionsDialog(DecodeOptions* options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("デコードオプション"));

    line_ = new QCheckBox(QStringLiteral("Line"), this);
    thumbnail_ = new QCheckBox(QStringLiteral("サムネイル"), this);
    resize_ = new QCheckBox(QStringLiteral("リサイズ"), this);
    line_->setChecked(options->line != 0);
    thumbnail_->setChecked(options->jpegThumbnail != 0);
    resize_->setChecked(options->jp2Resize != 0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(line_);
    layout->addWidget(thumbnail_);
    layout->addWidget(resize_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

DecodeOptions DecodeOptionsDialog::edited() const {
    DecodeOptions result = *options_;
    result.line = line_->isChecked() ? 1 : 0;
    result.jpegThumbnail = thumbnail_->isChecked() ? 1 : 0;
    result.jp2Resize = resize_->isChecked() ? 1 : 0;
    return result;
}

void DecodeOptionsDialog::accept() {
    *options_ = edited();
    QDialog::accept();
}

}  // namespace lumapix
