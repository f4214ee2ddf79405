#include "file_enc_dlg.hpp"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "enc_pages.hpp"
#include "jpeg_enc_page.hpp"

namespace lumapix {

CFileEncDlg::CFileEncDlg(EncodeOptions* options, QWidget* parent) : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("エンコードオプション"));
    tabs_ = new QTabWidget(this);
    tabs_->setMinimumWidth(320);  // six tabs once every encoder has its page

    // Tab order is LINE, JPEG, JPEG2000, PNM, TIFF, JBIG: the JPEG2000 and JBIG
    // pages go into their places here when their encoders arrive.
    addPage(new CLineEncPage);
    addPage(new CJpgEncPage);
    addPage(new CPnmEncPage);
    addPage(new CTiffEncPage);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CFileEncDlg::addPage(CEncPage* page) {
    page->load(*options_);
    tabs_->addTab(page, page->title());
    pages_.push_back(page);
}

CEncPage* CFileEncDlg::page(const QString& title) const {
    for (CEncPage* candidate : pages_)
        if (candidate->title() == title) return candidate;
    return nullptr;
}

EncodeOptions CFileEncDlg::edited() const {
    EncodeOptions result = *options_;
    for (const CEncPage* candidate : pages_) candidate->store(result);
    return result;
}

void CFileEncDlg::accept() {
    *options_ = edited();
    QDialog::accept();
}

}  // namespace lumapix
