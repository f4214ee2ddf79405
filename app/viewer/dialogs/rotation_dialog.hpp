// "回転と反転": a quarter-turn rotation or a mirror.
#ifndef LUMAPIX_VIEWER_ROTATION_DIALOG_HPP
#define LUMAPIX_VIEWER_ROTATION_DIALOG_HPP

#include <QDialog>

class QButtonGroup;

namespace lumapix {

class RotationDialog : public QDialog {
    Q_OBJECT

public:
    explicit RotationDialog(QWidget* parent = nullptr);
    // 90, 180, 270 clockwise; -1 left-right mirror; -2 top-bottom mirror.
    int32_t angle() const;
    void setAngle(int32_t angle);

private:
    QButtonGroup* choices_;
};

}  // namespace lumapix

#endif
