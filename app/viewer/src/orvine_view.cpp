#include "orvine_view.hpp"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include "lumapix/view_rules.h"

namespace {

// Wraps the bitmap's lines without copying, then converts once to a 32-bit
// image that paints quickly at every zoom.
QImage PaintableImage(const lumapix::DisplayBitmap& bitmap) {
    if (bitmap.empty()) return {};
    QImage::Format format = bitmap.bitsPerPixel == 24  ? QImage::Format_BGR888
                            : bitmap.bitsPerPixel == 8 ? QImage::Format_Indexed8
                                                       : QImage::Format_Mono;
    QImage wrapped(bitmap.pixels.data(), static_cast<int>(bitmap.width), static_cast<int>(bitmap.height),
                   static_cast<qsizetype>(bitmap.stride), format);
    if (!bitmap.palette.empty()) {
        QList<QRgb> table(bitmap.palette.begin(), bitmap.palette.end());
        wrapped.setColorTable(table);
    }
    return wrapped.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QImage DecodeFailedPicture(int width, int height) {
    QImage picture(qMax(width, 1), qMax(height, 1), QImage::Format_RGB32);
    QPainter p(&picture);
    p.fillRect(picture.rect(), QColor(64, 64, 72));
    p.setPen(QPen(QColor(220, 60, 50), 3));
    int s = qMin(picture.height(), picture.width()) - 10;
    QRect cross(6, (picture.height() - s) / 2, s, s);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(qMax(8, picture.height() / 3));
    font.setBold(true);
    p.setFont(font);
    p.drawText(picture.rect().adjusted(cross.right() + 6, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("NO IMAGE"));
    return picture;
}

COrvineView::COrvineView(lumapix::COrvineDoc& document, QWidget* parent) : QAbstractScrollArea(parent), doc_(document) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(16);
    verticalScrollBar()->setSingleStep(16);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    OnImageReplaced();
}

void COrvineView::OnImageReplaced() {
    if (doc_.status == lumapix::COrvineDoc::kNormal) doc_.bitWindow = lumapix::DefaultBitWindow(doc_.image.FMT);
    RebuildDisplay();
    UpdateScrollRange();
    emit statusChanged();
}

void COrvineView::RebuildDisplay() {
    display_ = QImage();
    if (doc_.status == lumapix::COrvineDoc::kNormal) {
        lumapix::DisplayBitmap bitmap;
        if (lumapix::BuildDisplayBitmap(doc_.image, doc_.bitWindow, &bitmap, &doc_.bitCounts))
            display_ = PaintableImage(bitmap);
    } else if (doc_.status == lumapix::COrvineDoc::kFailed) {
        display_ = DecodeFailedPicture(doc_.image.WIDTH, doc_.image.HEIGHT);
    }
    viewport()->update();
}

QSize COrvineView::displayedSize() const {
    if (doc_.status == lumapix::COrvineDoc::kFailed) return display_.size();  // drawn unzoomed
    return QSize(static_cast<int>(lumapix::ZoomedLength(doc_.image.WIDTH, zoom_)),
                 static_cast<int>(lumapix::ZoomedLength(doc_.image.HEIGHT, zoom_)));
}

QSize COrvineView::sizeHint() const {
    return displayedSize() + QSize(2 * frameWidth(), 2 * frameWidth());
}

void COrvineView::UpdateScrollRange() {
    // Decide the bars from the room without them, so an image that fits never
    // keeps bars it no longer needs.
    const QSize shown = displayedSize();
    const QSize whole = maximumViewportSize();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    bool needH = shown.width() > whole.width();
    bool needV = shown.height() > whole.height();
    if (needH && !needV) needV = shown.height() > whole.height() - bar;
    if (needV && !needH) needH = shown.width() > whole.width() - bar;
    const QSize room(whole.width() - (needV ? bar : 0), whole.height() - (needH ? bar : 0));
    horizontalScrollBar()->setRange(0, qMax(0, shown.width() - room.width()));
    verticalScrollBar()->setRange(0, qMax(0, shown.height() - room.height()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setPageStep(room.height());
}

void COrvineView::SetZoom(uint32_t zoom) {
    if (zoom == zoom_) return;
    // Keep the image point at the centre of the window where it was.
    QPointF centre(horizontalScrollBar()->value() + viewport()->width() / 2.0,
                   verticalScrollBar()->value() + viewport()->height() / 2.0);
    double ratio = static_cast<double>(zoom) / zoom_;
    zoom_ = zoom;
    UpdateScrollRange();
    horizontalScrollBar()->setValue(static_cast<int>(centre.x() * ratio - viewport()->width() / 2.0));
    verticalScrollBar()->setValue(static_cast<int>(centre.y() * ratio - viewport()->height() / 2.0));
    viewport()->update();
    emit statusChanged();
}

void COrvineView::ZoomIn() { SetZoom(lumapix::ZoomIn(zoom_)); }
void COrvineView::ZoomOut() { SetZoom(lumapix::ZoomOut(zoom_)); }
void COrvineView::ActualPixels() { SetZoom(lumapix::kZoomActual); }

void COrvineView::CopyImage() {
    if (!display_.isNull()) QApplication::clipboard()->setImage(display_);
}

QString COrvineView::imageStatus() const { return QString::fromStdString(lumapix::ImageStatusText(doc_.image)); }
QString COrvineView::zoomStatus() const { return QString::fromStdString(lumapix::ZoomStatusText(zoom_)); }

void COrvineView::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    p.fillRect(event->rect(), palette().color(QPalette::Dark));
    if (doc_.status == lumapix::COrvineDoc::kAudio) {
        if (!closePosted_) {
            closePosted_ = true;
            QMetaObject::invokeMethod(this, &COrvineView::closeRequested, Qt::QueuedConnection);
        }
        return;
    }
    if (display_.isNull()) return;
    QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    QRect target(-scroll, displayedSize());
    // The raster engine scales only the exposed part; nearest neighbour, like
    // a colour-on-colour stretch.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setClipRegion(event->region());
    p.drawImage(target, display_);
}

void COrvineView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void COrvineView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    dragging_ = true;
    lastPos_ = event->position().toPoint();
    QPoint at = lastPos_ + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    emit pixelPicked(lumapix::ImageCoordinate(static_cast<uint32_t>(qMax(0, at.x())), zoom_),
                     lumapix::ImageCoordinate(static_cast<uint32_t>(qMax(0, at.y())), zoom_));
}

void COrvineView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    QPoint now = event->position().toPoint();
    QPoint moved = now - lastPos_;
    lastPos_ = now;
    QSize shown = displayedSize();
    if (shown.width() > viewport()->width())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - moved.x());
    if (shown.height() > viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() - moved.y());
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void COrvineView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
        viewport()->unsetCursor();
    }
}

void COrvineView::keyPressEvent(QKeyEvent* event) {
    // Single keys without a modifier; the keypad's plus and minus too.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Equal:
            case Qt::Key_E: ActualPixels(); return;
            case Qt::Key_C: ZoomIn(); return;
            case Qt::Key_A: ZoomOut(); return;
            case Qt::Key_Plus:
                if (event->modifiers() & Qt::KeypadModifier) return ZoomIn();
                break;
            case Qt::Key_Minus:
                if (event->modifiers() & Qt::KeypadModifier) return ZoomOut();
                break;
            default: break;
        }
    }
    if ((event->modifiers() & Qt::ControlModifier) && (event->key() == Qt::Key_C || event->key() == Qt::Key_Insert))
        return CopyImage();
    QAbstractScrollArea::keyPressEvent(event);
}
