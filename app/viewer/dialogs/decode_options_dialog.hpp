// "デコードオプション": the Open dialog's options (line decoding, JPEG thumbnail, JPEG 2000 resize).
#ifndef LUMAPIX_VIEWER_DECODE_OPTIONS_DIALOG_HPP
#define LUMAPIX_VIEWER_DECODE_OPTIONS_DIALOG_HPP

#include <QDialog>

#include "lumapix/options.h"

class QCheckBox;

namespace lumapix {

class DecodeOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // options must outlive the dialog; it changes only on OK.
    explicit DecodeOptionsDialog(DecodeOptions* options, QWidget* parent = nullptr);

    // The block as OK would leave it.
    DecodeOptions edited() const;

    QCheckBox* lineBox() const { return line_; }
    QCheckBox* thumbnailBox() const { return thumbnail_; }
    QCheckBox* resizeBox() const { return resize_; }

    void accept() override;

private:
    DecodeOptions* options_;
    QCheckBox* line_ = nullptr;
    QCheckBox* thumbnail_ = nullptr;
    QCheckBox* resize_ = nullptr;
};

}  // namespace lumapix

#endif
