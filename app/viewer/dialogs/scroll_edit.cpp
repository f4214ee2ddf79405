#include "scroll_edit.hpp"

#include <algorithm>

#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>

namespace lumapix {

ScrollEdit::ScrollEdit(int minimum, int maximum, int value, QWidget* parent) : QWidget(parent) {
    bar_ = new QScrollBar(Qt::Horizontal, this);
    bar_->setRange(minimum, maximum);
    bar_->setSingleStep(1);
    bar_->setPageStep(10);
    bar_->setValue(value);
    bar_->setMinimumWidth(120);

    edit_ = new QLineEdit(QString::number(bar_->value()), this);
    // Signed digits only; the range is enforced by clamping, so "300" is still
    // typeable and lands on the maximum.
    edit_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,4}")), edit_));
    edit_->setAlignment(Qt::AlignRight);
    edit_->setFixedWidth(edit_->fontMetrics().horizontalAdvance(QStringLiteral("-0000")) + 12);

    connect(bar_, &QScrollBar::valueChanged, this, &ScrollEdit::onBarChanged);
    connect(edit_, &QLineEdit::textEdited, this, &ScrollEdit::onTextEdited);
    connect(edit_, &QLineEdit::editingFinished, this, &ScrollEdit::commitEdit);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar_, 1);
    layout->addWidget(edit_);
}

int ScrollEdit::value() const { return bar_->value(); }

void ScrollEdit::setValue(int value) { bar_->setValue(value); }

void ScrollEdit::onBarChanged(int value) {
    // Leave the box alone while it is the one being typed into: "-" or "30" on
    // the way to "-30" or "300" must not be rewritten under the cursor.
    if (!typing_) edit_->setText(QString::number(value));
    emit valueChanged(value);
}

void ScrollEdit::onTextEdited(const QString& text) {
    bool ok = false;
    int typed = text.toInt(&ok);
    if (!ok) return;
    int clamped = std::clamp(typed, bar_->minimum(), bar_->maximum());
    if (clamped == bar_->value()) return;
    typing_ = true;
    bar_->setValue(clamped);
    typing_ = false;
}

void ScrollEdit::commitEdit() { edit_->setText(QString::number(bar_->value())); }

}  // namespace lumapix
