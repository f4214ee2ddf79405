// The scrolling view of one image document: paints the display bitmap at a
// zoom, pans by dragging, copies the bitmap to the clipboard.
#ifndef LUMAPIX_VIEWER_ORVINE_VIEW_HPP
#define LUMAPIX_VIEWER_ORVINE_VIEW_HPP

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

#include "lumapix/display_bitmap.h"
#include "lumapix/document.h"

class COrvineView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit COrvineView(lumapix::COrvineDoc& document, QWidget* parent = nullptr);

    lumapix::COrvineDoc& document() { return doc_; }
    uint32_t zoom() const { return zoom_; }
    // The displayed image as painted at zoom 1, or a null image when there is none.
    const QImage& displayImage() const { return display_; }

    // The document's image was replaced: default bit window, new bitmap, sizes, status.
    void OnImageReplaced();
    // The bit window changed: new bitmap, repaint.
    void RebuildDisplay();

    void ZoomIn();
    void ZoomOut();
    void ActualPixels();
    void SetZoom(uint32_t zoom);
    void CopyImage();

    QSize sizeHint() const override;

    // Status-bar texts for this view.
    QString imageStatus() const;
    QString zoomStatus() const;

signals:
    void statusChanged();
    // Left button pressed at image coordinates (x, y): the navigator reads them.
    void pixelPicked(uint32_t x, uint32_t y);
    // An audio document reached its first paint: its window closes.
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateScrollRange();
    QSize displayedSize() const;

    lumapix::COrvineDoc& doc_;
    lumapix::DisplayBitmap bitmap_;
    QImage display_;  // the bitmap in a form cheap to paint at any zoom
    uint32_t zoom_ = 65536;
    bool dragging_ = false;
    QPoint lastPos_;
    bool closePosted_ = false;
};

// The picture shown for a file that could not be decoded.
QImage DecodeFailedPicture(int width, int height);

#endif
