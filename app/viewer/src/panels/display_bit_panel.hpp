// Display-bit selection: which bits of a sample the view shows, and how often
// each bit is set in the image.
#ifndef LUMAPIX_VIEWER_DISPLAY_BIT_PANEL_HPP
#define LUMAPIX_VIEWER_DISPLAY_BIT_PANEL_HPP

#include <QWidget>

#include "lumapix/document.h"

class QLabel;
class QSlider;

class BitGraph : public QWidget {
public:
    explicit BitGraph(QWidget* parent = nullptr);
    void SetCounts(const lumapix::BitCounts* counts);
    QSize sizeHint() const override { return {246, 60}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    lumapix::BitCounts counts_{};
};

class DisplayBitPanel : public QWidget {
    Q_OBJECT

public:
    explicit DisplayBitPanel(QWidget* parent = nullptr);

    // The active document, or null when none is.
    void SetDocument(lumapix::COrvineDoc* document);
    QSlider* lowSlider() const { return low_; }
    QSlider* highSlider() const { return high_; }
    QString lowText() const;
    QString highText() const;

signals:
    // The window was stored in the document; the view rebuilds its bitmap.
    void windowCommitted();

private:
    void MoveLow(int value);
    void MoveHigh(int value);
    void ShowWindow();
    void CommitUnlessDragging(const QSlider* slider);

    lumapix::COrvineDoc* doc_ = nullptr;
    QSlider* low_;
    QSlider* high_;
    QLabel* lowValue_;
    QLabel* highValue_;
    BitGraph* graph_;
    bool updating_ = false;
};

#endif
