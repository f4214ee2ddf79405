#include "snapshot.hpp"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>

#include "main_frame.hpp"
#include "orvine_view.hpp"

bool SaveSnapshot(CMainFrame& frame, const QString& png) { return frame.grab().save(png, "PNG"); }

QString SnapshotReport(const CMainFrame& frame) {
    QString report = QStringLiteral("status: %1\nzoom: %2\nwindows: %3\n")
                         .arg(frame.imageStatusText(), frame.zoomStatusText())
                         .arg(frame.mdiArea()->subWindowList().size());
    if (COrvineView* view = frame.activeView()) {
        QPoint origin = view->viewport()->mapTo(&frame, QPoint(0, 0));
        report += QStringLiteral("view: %1 %2 %3 %4\n")
                      .arg(origin.x())
                      .arg(origin.y())
                      .arg(view->viewport()->width())
                      .arg(view->viewport()->height());
    }
    return report;
}
