// One page of the "エンコードオプション" sheet: shows the fields of one encoder.
#ifndef LUMAPIX_VIEWER_ENC_PAGE_HPP
#define LUMAPIX_VIEWER_ENC_PAGE_HPP

#include <QString>
#include <QWidget>

#include "lumapix/options.h"

namespace lumapix {

// A codec's page only knows its own fields: it is filled from the sheet's working
// copy when the sheet opens and writes back into it when the sheet is confirmed.
// A new encoder's page derives from this and is added in CFileEncDlg's constructor.
class CEncPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Tab label.
    virtual QString title() const = 0;
    virtual void load(const EncodeOptions& options) = 0;
    virtual void store(EncodeOptions& options) const = 0;
};

}  // namespace lumapix

#endif
