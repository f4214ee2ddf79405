#include "snapshot.hpp"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>

#include "lumapix/plugin_host.h"
#include "main_frame.hpp"
#include "orvine_view.hpp"
#include "panels/audio_player_panel.hpp"

bool SaveSnapshot(CMainFrame& frame, const QString& png) { return frame.grab().save(png, "PNG"); }

QString SnapshotReport(const CMainFrame& frame) {
    QString report = QStringLiteral("status: %1\nzoom: %2\nwindows: %3\n")
                         .arg(frame.imageStatusText(), frame.zoomStatusText())
                         .arg(frame.mdiArea()->subWindowList().size());
    if (const lumapix::PluginHost* plugins = frame.plugins()) {
        QStringList names;
        for (int i = 0; i < plugins->Count(); ++i) names << QString::fromUtf8(plugins->Name(i));
        report += QStringLiteral("plugins: %1\n").arg(names.join(QStringLiteral(", ")));
    }
    if (frame.panelShown(CMainFrame::kAudio)) {
        // Playback state, then Play, Stop and Pause as 1 for enabled.
        QString buttons;
        for (const char* name : {"play", "stop", "pause"}) {
            auto* button = frame.audioPlayerPanel()->findChild<QWidget*>(QLatin1String(name));
            buttons += button && button->isEnabled() ? u'1' : u'0';
        }
        report += QStringLiteral("audio: %1 %2\n").arg(frame.audioPlayerPanel()->playbackState()).arg(buttons);
    }
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
