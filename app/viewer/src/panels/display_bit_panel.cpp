#include "display_bit_panel.hpp"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <algorithm>

#include "lumapix/view_rules.h"

BitGraph::BitGraph(QWidget* parent) : QWidget(parent) {
    setMinimumSize(246, 40);
    setMaximumHeight(90);
}

void BitGraph::SetCounts(const lumapix::BitCounts* counts) {
    if (counts)
        counts_ = *counts;
    else
        counts_.fill(0);
    update();
}

void BitGraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    uint32_t largest = std::max<uint32_t>(1, *std::max_element(counts_.begin(), counts_.end()));
    const int base = height() - 3;
    const int room = base - 3;
    p.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::FlatCap));
    for (int bit = 0; bit < 16; ++bit) {
        int x = 6 + 15 * bit;
        int rise = static_cast<int>(static_cast<uint64_t>(counts_[static_cast<size_t>(bit)]) *
                                    static_cast<uint64_t>(room) / largest);
        if (rise > 0) p.drawLine(x, base, x, base - rise);
    }
    p.setPen(QColor(127, 127, 127));
    p.drawLine(0, base, width(), base);
}

DisplayBitPanel::DisplayBitPanel(QWidget* parent)
    : QWidget(parent),
      low_(new QSlider(Qt::Horizontal, this)),
      high_(new QSlider(Qt::Horizontal, this)),
      lowValue_(new QLabel(this)),
      highValue_(new QLabel(this)),
      graph_(new BitGraph(this)) {
    setWindowTitle(QStringLiteral("表示ビット"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->addWidget(new QLabel(QStringLiteral("Low"), this), 0, 0);
    grid->addWidget(low_, 0, 1);
    grid->addWidget(lowValue_, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("High"), this), 1, 0);
    grid->addWidget(high_, 1, 1);
    grid->addWidget(highValue_, 1, 2);
    grid->addWidget(graph_, 2, 0, 1, 3);
    grid->setRowStretch(3, 1);
    for (QLabel* value : {lowValue_, highValue_}) {
        value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("16")) + 4);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    for (QSlider* slider : {low_, high_}) {
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setPageStep(1);
        connect(slider, &QSlider::sliderReleased, this, &DisplayBitPanel::windowCommitted);
    }
    connect(low_, &QSlider::valueChanged, this, [this](int v) {
        MoveLow(v);
        CommitUnlessDragging(low_);
    });
    connect(high_, &QSlider::valueChanged, this, [this](int v) {
        MoveHigh(v);
        CommitUnlessDragging(high_);
    });
    SetDocument(nullptr);
}

void DisplayBitPanel::SetDocument(lumapix::COrvineDoc* document) {
    doc_ = document;
    ShowWindow();
    graph_->SetCounts(doc_ ? &doc_->bitCounts : nullptr);
}

void DisplayBitPanel::ShowWindow() {
    updating_ = true;
    const bool adjustable = doc_ && doc_->status == lumapix::COrvineDoc::kNormal &&
                            lumapix::DisplayBitsAdjustable(doc_->image.MODE);
    if (doc_) {
        lumapix::BitRange range = lumapix::DisplayBitRange(doc_->image.FMT);
        lumapix::BitWindow shown = lumapix::ClampToRange(doc_->bitWindow, range);
        for (QSlider* slider : {low_, high_}) slider->setRange(range.bottom, range.top);
        low_->setValue(shown.lo);
        high_->setValue(shown.hi);
    }
    low_->setEnabled(adjustable);
    high_->setEnabled(adjustable);
    lowValue_->setText(adjustable ? QString::asprintf("%d", low_->value()) : QString());
    highValue_->setText(adjustable ? QString::asprintf("%d", high_->value()) : QString());
    updating_ = false;
}

void DisplayBitPanel::MoveLow(int value) {
    if (updating_ || !doc_) return;
    doc_->bitWindow = lumapix::MoveLowBit(doc_->bitWindow, value, doc_->image.FMT);
    ShowWindow();
}

void DisplayBitPanel::MoveHigh(int value) {
    if (updating_ || !doc_) return;
    doc_->bitWindow = lumapix::MoveHighBit(doc_->bitWindow, value, doc_->image.FMT);
    ShowWindow();
}

void DisplayBitPanel::CommitUnlessDragging(const QSlider* slider) {
    // Keyboard and page clicks have no release: rebuild at once.
    if (!updating_ && doc_ && !slider->isSliderDown()) emit windowCommitted();
}

QString DisplayBitPanel::lowText() const { return lowValue_->text(); }
QString DisplayBitPanel::highText() const { return highValue_->text(); }
