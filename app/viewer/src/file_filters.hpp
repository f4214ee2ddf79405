// Filter lists of the open and save dialogs.
#ifndef LUMAPIX_VIEWER_FILE_FILTERS_HPP
#define LUMAPIX_VIEWER_FILE_FILTERS_HPP

#include <QStringList>

// Each entry is "label (patterns)"; the dialogs hide the pattern part, so the
// label is what the user reads.
QStringList OpenFilters();
// Save filters; the position of the chosen entry is the format index written.
QStringList SaveFilters();
// The label part of a filter entry.
QString FilterLabel(const QString& filter);

#endif
