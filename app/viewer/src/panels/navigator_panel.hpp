// Pixel navigator: the colour and position of the pixel last clicked.
#ifndef LUMAPIX_VIEWER_NAVIGATOR_PANEL_HPP
#define LUMAPIX_VIEWER_NAVIGATOR_PANEL_HPP

#include <QWidget>

#include "lumapix/xr_image.h"

class QLabel;

class NavigatorPanel : public QWidget {
    Q_OBJECT

public:
    explicit NavigatorPanel(QWidget* parent = nullptr);

    // The pixel at (x, y) of image; null image: no document.
    void ShowPixel(const XrImage* image, uint32_t x, uint32_t y);
    QString colorText() const;
    QString positionText() const;

private:
    QLabel* color_;
    QLabel* position_;
};

#endif
