// "エンコードオプション": the Save dialog's property sheet, one page per encoder.
#ifndef LUMAPIX_VIEWER_FILE_ENC_DLG_HPP
#define LUMAPIX_VIEWER_FILE_ENC_DLG_HPP

#include <vector>

#include <QDialog>

#include "enc_page.hpp"
#include "lumapix/options.h"

class QTabWidget;

namespace lumapix {

class CFileEncDlg : public QDialog {
    Q_OBJECT
public:
    // options must outlive the dialog; it changes only on OK.
    explicit CFileEncDlg(EncodeOptions* options, QWidget* parent = nullptr);

    // The block as OK would leave it: every page stored over a copy.
    EncodeOptions edited() const;

    int pageCount() const { return static_cast<int>(pages_.size()); }
    CEncPage* page(int index) const { return pages_.at(static_cast<size_t>(index)); }
    // The page with this tab label, or null.
    CEncPage* page(const QString& title) const;
    QTabWidget* tabs() const { return tabs_; }

    void accept() override;

private:
    void addPage(CEncPage* page);

    EncodeOptions* options_;
    QTabWidget* tabs_ = nullptr;
    std::vector<CEncPage*> pages_;
};

}  // namespace lumapix

#endif
