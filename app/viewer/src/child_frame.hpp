// An MDI child window: owns one document and the view that shows it.
#ifndef LUMAPIX_VIEWER_CHILD_FRAME_HPP
#define LUMAPIX_VIEWER_CHILD_FRAME_HPP

#include <QMdiSubWindow>
#include <memory>

#include "lumapix/document.h"

class COrvineView;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT

public:
    explicit CChildFrame(std::unique_ptr<lumapix::COrvineDoc> document, QWidget* parent = nullptr);
    ~CChildFrame() override;

    lumapix::COrvineDoc& document() { return *doc_; }
    COrvineView* view() const { return view_; }
    // Title from the file name; refreshed after Save As.
    void UpdateTitle();

private:
    std::unique_ptr<lumapix::COrvineDoc> doc_;
    COrvineView* view_;
};

#endif
