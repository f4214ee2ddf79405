#include "cpu_usage_panel.hpp"

#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>
#include <algorithm>
#include <vector>

#include "cpu_sampler.hpp"

namespace lumapix {

namespace {

constexpr int kMargin = 4;
constexpr int kTextStrip = 24;

QFont PanelFont() {
    // A fixed-pitch face 14 px high, as the text panels use.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(14);
    return font;
}

}  // namespace

void PaintCpuUsage(QPainter& painter, const QRect& client, std::span<const int> history) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(client, Qt::white);

    // Graph area with exclusive right and bottom edges.
    const int left = client.x() + kMargin;
    const int right = client.x() + client.width() - kMargin;
    const int top = client.y() + kTextStrip;
    const int bottom = client.y() + client.height() - kMargin;
    const int width = right - left;
    const int height = bottom - top;

    if (width > 0 && height > 0) {
        painter.setPen(QPen(QColor(127, 127, 127), 1));
        for (int quarter = 1; quarter < 4; ++quarter) {
            const int y = top + height * quarter / 4;
            painter.drawLine(left, y, right - 1, y);
        }

        std::vector<QPoint> points;
        for (std::size_t i = 0; i < history.size(); ++i) {
            const int x = right - 1 - 2 * static_cast<int>(i);
            if (x < left) break;
            const int value = std::clamp(history[i], 0, 100);
            points.emplace_back(x, bottom - value * height / 100 - 1);
        }
        painter.setPen(QPen(Qt::black, 1));
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    }

    const int newest = history.empty() ? 0 : history[0];
    painter.setPen(Qt::black);
    painter.setFont(PanelFont());
    painter.drawText(QRect(left, client.y(), std::max(width, 0), kTextStrip),
                     Qt::AlignLeft | Qt::AlignVCenter, QString::asprintf("%d %%", newest));
    painter.restore();
}

CpuUsagePanel::CpuUsagePanel(const CpuSampler& sampler, QWidget* parent)
    : QWidget(parent), sampler_(sampler) {
    setWindowTitle(QStringLiteral("CPU使用率"));
    // The icon resource lives with the frame; a build without it keeps the default.
    const QString icon = QStringLiteral(":/icons/cpu.svg");
    if (QFile::exists(icon)) setWindowIcon(QIcon(icon));
    // Everything is repainted each time; skip the system background fill.
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&timer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    timer_.start(kRepaintMs);
}

QSize CpuUsagePanel::sizeHint() const { return {300, 130}; }

void CpuUsagePanel::paintEvent(QPaintEvent* /*event*/) {
    const CpuSampler::History history = sampler_.Snapshot();
    QPainter painter(this);
    PaintCpuUsage(painter, rect(), history);
}

}  // namespace lumapix
