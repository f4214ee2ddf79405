// "モノクロ画像 デコードオプション": the polarity given to bi-level (JBIG, fax) decodes.
#ifndef LUMAPIX_VIEWER_MONO_PALETTE_DIALOG_HPP
#define LUMAPIX_VIEWER_MONO_PALETTE_DIALOG_HPP

#include <QDialog>

#include "lumapix/options.h"

class QRadioButton;

namespace lumapix {

class MonoPaletteDialog : public QDialog {
    Q_OBJECT
public:
    // options must outlive the dialog; only monoPaletteFormat changes, and only on OK.
    explicit MonoPaletteDialog(DecodeOptions* options, QWidget* parent = nullptr);

    // 0 BLACKISZERO, 1 WHITEISZERO.
    uint8_t paletteFormat() const;
    void setPaletteFormat(uint8_t format);

    void accept() override;

private:
    DecodeOptions* options_;
    QRadioButton* blackIsZero_ = nullptr;
    QRadioButton* whiteIsZero_ = nullptr;
};

}  // namespace lumapix

#endif
