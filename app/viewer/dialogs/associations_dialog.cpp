#include "associations_dialog.hpp"

#include <utility>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumapix {

namespace {

constexpr int kColumns = 3;

}  // namespace

AssociationsDialog::AssociationsDialog(AssociationEnvironment env, QWidget* parent)
    : QDialog(parent), env_(std::move(env)) {
    setWindowTitle(QStringLiteral("ファイル拡張子関連付け"));

    auto* grid = new QGridLayout;
    const AssociationTicks registered = RegisteredRows(env_);
    for (std::size_t row = 0; row < kAssociationRowCount; ++row) {
        auto* box = new QCheckBox(QString::fromLatin1(kAssociationRows[row].label), this);
        box->setChecked(registered[row]);
        const int index = static_cast<int>(row);
        grid->addWidget(box, index / kColumns, index % kColumns);
        boxes_[row] = box;
    }

    selectAll_ = new QPushButton(QStringLiteral("すべて選択"), this);
    clearAll_ = new QPushButton(QStringLiteral("すべて解除"), this);
    selectAll_->setAutoDefault(false);
    clearAll_->setAutoDefault(false);
    connect(selectAll_, &QPushButton::clicked, this, [this] { tickAll(true); });
    connect(clearAll_, &QPushButton::clicked, this, [this] { tickAll(false); });
    auto* tickRow = new QHBoxLayout;
    tickRow->addWidget(selectAll_);
    tickRow->addWidget(clearAll_);
    tickRow->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(tickRow);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

AssociationTicks AssociationsDialog::ticked() const {
    AssociationTicks ticks{};
    for (std::size_t row = 0; row < kAssociationRowCount; ++row) ticks[row] = boxes_[row]->isChecked();
    return ticks;
}

void AssociationsDialog::tickAll(bool ticked) {
    for (QCheckBox* box : boxes_) box->setChecked(ticked);
}

void AssociationsDialog::accept() {
    Apply(ticked(), env_);
    QDialog::accept();
}

}  // namespace lumapix
