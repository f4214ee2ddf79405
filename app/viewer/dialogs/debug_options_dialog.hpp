// "Debug Option": the scaled-decode fields of the decode options, which no other dialog reaches.
#ifndef LUMAPIX_VIEWER_DEBUG_OPTIONS_DIALOG_HPP
#define LUMAPIX_VIEWER_DEBUG_OPTIONS_DIALOG_HPP

#include <QDialog>

#include "lumapix/options.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace lumapix {

class DebugOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // options must outlive the dialog; line, stretch, targetMode, targetWidth,
    // targetHeight, monoPaletteFormat and the clip fields change only on OK.
    explicit DebugOptionsDialog(DecodeOptions* options, QWidget* parent = nullptr);

    // The block as OK would leave it.
    DecodeOptions edited() const;

    QCheckBox* lineBox() const { return line_; }
    QCheckBox* stretchBox() const { return stretch_; }
    // "指定なし" (the file's mode) first, then the mode codes 1 to 10.
    QComboBox* modeList() const { return mode_; }
    QSpinBox* widthBox() const { return width_; }
    QSpinBox* heightBox() const { return height_; }
    QComboBox* paletteFormatList() const { return paletteFormat_; }
    QSpinBox* clipXBox() const { return clipX_; }
    QSpinBox* clipYBox() const { return clipY_; }
    QSpinBox* clipWidthBox() const { return clipWidth_; }
    QSpinBox* clipHeightBox() const { return clipHeight_; }

    void accept() override;

private:
    DecodeOptions* options_;
    QCheckBox* line_ = nullptr;
    QCheckBox* stretch_ = nullptr;
    QComboBox* mode_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QComboBox* paletteFormat_ = nullptr;
    QSpinBox* clipX_ = nullptr;
    QSpinBox* clipY_ = nullptr;
    QSpinBox* clipWidth_ = nullptr;
    QSpinBox* clipHeight_ = nullptr;
};

}  // namespace lumapix

#endif
