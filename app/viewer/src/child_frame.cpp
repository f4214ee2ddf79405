#include "child_frame.hpp"

#include <QIcon>

#include "orvine_view.hpp"

CChildFrame::CChildFrame(std::unique_ptr<lumapix::COrvineDoc> document, QWidget* parent)
    : QMdiSubWindow(parent), doc_(std::move(document)), view_(new COrvineView(*doc_, this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(view_);
    setWindowIcon(QIcon(QStringLiteral(":/icons/lumapix.svg")));
    connect(view_, &COrvineView::closeRequested, this, &QMdiSubWindow::close);
    UpdateTitle();
}

CChildFrame::~CChildFrame() = default;

void CChildFrame::UpdateTitle() {
    setWindowTitle(doc_->fileName.empty() ? QStringLiteral("image") : QString::fromStdString(doc_->fileName));
}
