#include "rotation_dialog.hpp"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <iterator>
#include <utility>

namespace lumapix {
namespace {

// Button ids are positions: QButtonGroup takes -1 to mean "pick an id".
constexpr std::pair<const char*, int32_t> kChoices[] = {
    {"90度回転", 90}, {"180度回転", 180}, {"270度回転", 270}, {"左右反転", -1}, {"上下反転", -2}};

}  // namespace

RotationDialog::RotationDialog(QWidget* parent) : QDialog(parent), choices_(new QButtonGroup(this)) {
    setWindowTitle(QStringLiteral("回転と反転"));
    auto* layout = new QVBoxLayout(this);
    for (int id = 0; id < static_cast<int>(std::size(kChoices)); ++id) {
        auto* button = new QRadioButton(QString::fromUtf8(kChoices[id].first), this);
        choices_->addButton(button, id);
        layout->addWidget(button);
    }
    choices_->button(0)->setChecked(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int32_t RotationDialog::angle() const {
    int id = choices_->checkedId();
    return id >= 0 && id < static_cast<int>(std::size(kChoices)) ? kChoices[id].second : 0;
}

void RotationDialog::setAngle(int32_t angle) {
    for (int id = 0; id < static_cast<int>(std::size(kChoices)); ++id)
        if (kChoices[id].second == angle) choices_->button(id)->setChecked(true);
}

}  // namespace lumapix
