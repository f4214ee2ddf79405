#include "enc_pages.hpp"

#include <QCheckBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumapix {

namespace {

QVBoxLayout* PageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return layout;
}

}  // namespace

CLineEncPage::CLineEncPage(QWidget* parent) : CEncPage(parent) {
    line_ = new QCheckBox(QStringLiteral("Line"), this);
    PageLayout(this)->addWidget(line_);
}

QString CLineEncPage::title() const { return QStringLiteral("LINE"); }

void CLineEncPage::load(const EncodeOptions& options) { line_->setChecked(options.line != 0); }

void CLineEncPage::store(EncodeOptions& options) const { options.line = line_->isChecked() ? 1 : 0; }

CPnmEncPage::CPnmEncPage(QWidget* parent) : CEncPage(parent) {
    ascii_ = new QRadioButton(QStringLiteral("アスキーコード"), this);
    binary_ = new QRadioButton(QStringLiteral("バイナリーコード"), this);
    QVBoxLayout* layout = PageLayout(this);
    layout->addWidget(ascii_);
    layout->addWidget(binary_);
}

QString CPnmEncPage::title() const { return QStringLiteral("PNM"); }

void CPnmEncPage::load(const EncodeOptions& options) { (options.pnmBinary ? binary_ : ascii_)->setChecked(true); }

void CPnmEncPage::store(EncodeOptions& options) const { options.pnmBinary = binary_->isChecked() ? 1 : 0; }

CTiffEncPage::CTiffEncPage(QWidget* parent) : CEncPage(parent) {
    QVBoxLayout* layout = PageLayout(this);
    const char* labels[] = {"RGB", "YCbCr422", "YCbCr420"};
    for (int color = 0; color < 3; ++color) {
        colors_[color] = new QRadioButton(QString::fromLatin1(labels[color]), this);
        layout->addWidget(colors_[color]);
    }
}

QString CTiffEncPage::title() const { return QStringLiteral("TIFF"); }

void CTiffEncPage::load(const EncodeOptions& options) {
    int color = options.tiffColor >= 0 && options.tiffColor < 3 ? options.tiffColor : 0;
    colors_[color]->setChecked(true);
}

void CTiffEncPage::store(EncodeOptions& options) const {
    for (int color = 0; color < 3; ++color)
        if (colors_[color]->isChecked()) options.tiffColor = color;
}

}  // namespace lumapix
