#include "navigator_panel.hpp"

#include <QLabel>
#include <QVBoxLayout>

#include "lumapix/view_rules.h"
#include "panel_font.hpp"

namespace {

// The texts carry CR LF line ends; a label wants plain newlines.
QString PanelText(const std::string& text) { return QString::fromStdString(text).remove(QLatin1Char('\r')); }

QLabel* TextBox(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(PanelFont());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFrameShape(QFrame::StyledPanel);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumHeight(QFontMetrics(PanelFont()).lineSpacing() * 5 + 8);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    label->setMinimumWidth(QFontMetrics(PanelFont()).horizontalAdvance(QStringLiteral("    INDEX 255 [FFFF]  ")));
    return label;
}

}  // namespace

NavigatorPanel::NavigatorPanel(QWidget* parent) : QWidget(parent), color_(TextBox(this)), position_(TextBox(this)) {
    setWindowTitle(QStringLiteral("ピクセルナビゲータ"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(color_);
    layout->addWidget(position_);
    layout->addStretch();
    position_->setMinimumHeight(QFontMetrics(PanelFont()).lineSpacing() * 3 + 8);
    position_->setMaximumHeight(position_->minimumHeight());
    color_->setMaximumHeight(color_->minimumHeight());
    ShowPixel(nullptr, 0, 0);
}

void NavigatorPanel::ShowPixel(const XrImage* image, uint32_t x, uint32_t y) {
    if (!image) {
        color_->setText(PanelText(lumapix::kNavigatorNoColor));
        position_->setText(PanelText(lumapix::kNavigatorNoPosition));
        return;
    }
    color_->setText(PanelText(lumapix::NavigatorColorText(*image, x, y)));
    position_->setText(PanelText(lumapix::NavigatorPositionText(x, y)));
}

QString NavigatorPanel::colorText() const { return color_->text(); }
QString NavigatorPanel::positionText() const { return position_->text(); }
