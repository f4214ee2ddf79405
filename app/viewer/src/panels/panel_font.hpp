// The fixed-pitch font the text panels share.
#ifndef LUMAPIX_VIEWER_PANEL_FONT_HPP
#define LUMAPIX_VIEWER_PANEL_FONT_HPP

#include <QFont>

inline QFont PanelFont() {
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(14);
    return font;
}

#endif
