// A picture of the main window and a text account of what it shows, for
// checking the viewer from outside (scripts, the end-to-end test).
#ifndef LUMAPIX_VIEWER_SNAPSHOT_HPP
#define LUMAPIX_VIEWER_SNAPSHOT_HPP

#include <QString>

class CMainFrame;

bool SaveSnapshot(CMainFrame& frame, const QString& png);
// Lines "status: ...", "zoom: ...", "windows: N", "plugins: A, B" and, for the active image,
// "view: X Y W H" (its image area in window coordinates).
QString SnapshotReport(const CMainFrame& frame);

#endif
