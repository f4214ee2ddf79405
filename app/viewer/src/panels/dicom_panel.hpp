// DICOM attribute list of the active document.
#ifndef LUMAPIX_VIEWER_DICOM_PANEL_HPP
#define LUMAPIX_VIEWER_DICOM_PANEL_HPP

#include <QWidget>

#include "lumapix/document.h"

class QTreeWidget;

class DicomPanel : public QWidget {
    Q_OBJECT

public:
    explicit DicomPanel(QWidget* parent = nullptr);
    // Empties the list and refills it from the document's data set, if it has one.
    void SetDocument(const lumapix::COrvineDoc* document);
    QTreeWidget* list() const { return list_; }

private:
    QTreeWidget* list_;
};

#endif
