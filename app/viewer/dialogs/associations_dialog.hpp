// "ファイル拡張子関連付け": which image types open in the viewer from the file manager.
#ifndef LUMAPIX_VIEWER_ASSOCIATIONS_DIALOG_HPP
#define LUMAPIX_VIEWER_ASSOCIATIONS_DIALOG_HPP

#include <array>
#include <cstddef>

#include <QDialog>

#include "lumapix/associations.h"

class QCheckBox;
class QPushButton;

namespace lumapix {

class AssociationsDialog : public QDialog {
    Q_OBJECT
public:
    // Opens with each row ticked when it is registered in env; OK applies the
    // ticks there, Cancel changes nothing.
    explicit AssociationsDialog(AssociationEnvironment env, QWidget* parent = nullptr);

    AssociationTicks ticked() const;

    // One per row of kAssociationRows, in its order.
    QCheckBox* rowBox(std::size_t row) const { return boxes_.at(row); }
    QPushButton* selectAllButton() const { return selectAll_; }
    QPushButton* clearAllButton() const { return clearAll_; }

    void accept() override;

private:
    void tickAll(bool ticked);

    AssociationEnvironment env_;
    std::array<QCheckBox*, kAssociationRowCount> boxes_{};
    QPushButton* selectAll_ = nullptr;
    QPushButton* clearAll_ = nullptr;
};

}  // namespace lumapix

#endif
