// "解像度変換": the new size, the sampling method and its sharpness.
#ifndef LUMAPIX_VIEWER_RESOLUTION_DIALOG_HPP
#define LUMAPIX_VIEWER_RESOLUTION_DIALOG_HPP

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace lumapix {

class ScrollEdit;

class ResolutionDialog : public QDialog {
    Q_OBJECT

public:
    ResolutionDialog(int currentWidth, int currentHeight, QWidget* parent = nullptr);

    int newWidth() const;
    int newHeight() const;
    int32_t method() const;     // 0 nearest, 1 bilinear, 2 bicubic
    int32_t sharpness() const;  // -128..127
    bool lineByLine() const;

    QSpinBox* widthBox() const { return width_; }
    QSpinBox* heightBox() const { return height_; }
    QCheckBox* keepAspectBox() const { return keepAspect_; }
    QComboBox* methodBox() const { return method_; }
    ScrollEdit* sharpnessEdit() const { return sharpness_; }
    QLabel* currentSizeLabel() const { return current_; }

private:
    void WidthChanged(int width);
    void HeightChanged(int height);

    int currentWidth_;
    int currentHeight_;
    QLabel* current_;
    QSpinBox* width_;
    QSpinBox* height_;
    QCheckBox* keepAspect_;
    QComboBox* method_;
    ScrollEdit* sharpness_;
    QCheckBox* line_;
    bool following_ = false;  // one edit updating the other
};

}  // namespace lumapix

#endif
