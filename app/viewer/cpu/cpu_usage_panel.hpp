// The "CPU使用率" panel: a scrolling graph of the sampler's history.
#ifndef LUMAPIX_CPU_USAGE_PANEL_HPP
#define LUMAPIX_CPU_USAGE_PANEL_HPP

#include <QTimer>
#include <QWidget>
#include <span>

class QPainter;
class QRect;

namespace lumapix {

class CpuSampler;

// Paints a history (whole percentages, newest first) into client: white
// background, grey quarter lines and the black graph inside the area less
// 4 px left, right and bottom and 24 px at the top, and the newest value as
// "37 %" in the top strip.
void PaintCpuUsage(QPainter& painter, const QRect& client, std::span<const int> history);

class CpuUsagePanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRepaintMs = 500;

    // The sampler must outlive the panel; the panel never starts or stops it.
    explicit CpuUsagePanel(const CpuSampler& sampler, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CpuSampler& sampler_;
    QTimer timer_;
};

}  // namespace lumapix

#endif  // LUMAPIX_CPU_USAGE_PANEL_HPP
