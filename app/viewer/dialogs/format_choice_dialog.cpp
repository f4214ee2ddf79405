#include "format_choice_dialog.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "lumapix/format_registry.h"

namespace lumapix {

namespace {

// Index into FormatChoices; kept for the whole run, never saved.
int rememberedIndex = 0;

}  // namespace

FormatChoiceDialog::FormatChoiceDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("フォーマット選択"));

    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("extensionList"));
    for (const char* const* entry = FormatChoices; *entry; ++entry) list_->addItem(QString::fromLatin1(*entry));
    list_->setCurrentIndex(rememberedIndex);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("拡張子"), list_);

    // Only OK: the question has no "none of these" answer.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(220);  // room for the title
}

QString FormatChoiceDialog::choice() const { return list_->currentText(); }

QString FormatChoiceDialog::extension() const { return choice().left(3); }

bool FormatChoiceDialog::setChoice(const QString& entry) {
    int index = list_->findText(entry);
    if (index < 0) return false;
    list_->setCurrentIndex(index);
    return true;
}

QString FormatChoiceDialog::rememberedChoice() { return QString::fromLatin1(FormatChoices[rememberedIndex]); }

void FormatChoiceDialog::accept() {
    if (list_->currentIndex() >= 0) rememberedIndex = list_->currentIndex();
    QDialog::accept();
}

}  // namespace lumapix
