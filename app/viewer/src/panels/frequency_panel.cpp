#include "frequency_panel.hpp"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>
#include <QMenuBar>
#include <QPainter>
#include <QVBoxLayout>
#include <cstring>
#include <vector>

namespace {

// Strip row 0 is the bottom one; the picture runs top-down.
void PutStrip(QImage& picture, const uint8_t* strip, int top) {
    for (int row = 0; row < SPECTRUM_HEIGHT; ++row)
        std::memcpy(picture.scanLine(top + SPECTRUM_HEIGHT - 1 - row), strip + row * SPECTRUM_WIDTH, SPECTRUM_WIDTH);
}

}  // namespace

SpectrumView::SpectrumView(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SpectrumView::SetPicture(const QImage& picture, bool noInput) {
    picture_ = picture;
    noInput_ = noInput;
    update();
}

QSize SpectrumView::sizeHint() const {
    return QSize(SPECTRUM_WIDTH, SpectrumPanel::kPictureHeight) + QSize(2 * frameWidth(), 2 * frameWidth());
}

void SpectrumView::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.drawImage(area, picture_);
    if (!noInput_) return;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect upper(area.x(), area.y(), area.width(), area.height() * SPECTRUM_HEIGHT / SpectrumPanel::kPictureHeight);
    painter.drawText(upper, Qt::AlignCenter, QStringLiteral("Can't Open Input Device..."));
}

SpectrumPanel::SpectrumPanel(QWidget* parent)
    : QWidget(parent), analyzer_(std::make_unique<SpectrumAnalyzer>()), view_(new SpectrumView(this)) {
    setWindowTitle(QStringLiteral("スペクトラム"));
    SpectrumInit(analyzer_.get());
    picture_ = QImage(SPECTRUM_WIDTH, kPictureHeight, QImage::Format_Indexed8);
    uint32_t palette[SPECTRUM_PALETTE_SIZE];
    SpectrumPalette(palette);
    QList<QRgb> colours;
    for (uint32_t rgb : palette) colours << (0xFF000000u | rgb);
    picture_.setColorTable(colours);
    Compose();

    auto* menus = new QMenuBar(this);
    QMenu* display = menus->addMenu(QStringLiteral("表示"));
    QAction* oscilloscope = display->addAction(QStringLiteral("オシロスコープ"));
    oscilloscope->setObjectName(QStringLiteral("spectrum.oscilloscope"));
    oscilloscope->setCheckable(true);
    oscilloscope->setChecked(true);
    // The trace is the one view below the bars: choosing it again keeps it.
    connect(oscilloscope, &QAction::triggered, this, [this, oscilloscope] {
        oscilloscope_ = true;
        oscilloscope->setChecked(true);
        Compose();
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setMenuBar(menus);
    layout->addWidget(view_);
}

SpectrumPanel::~SpectrumPanel() { StopInput(); }

void SpectrumPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!source_) StartInput();
}

void SpectrumPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    StopInput();
}

void SpectrumPanel::StartInput() {
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (!device.isNull() && device.isFormatSupported(format)) {
        source_ = new QAudioSource(device, format, this);
        input_ = source_->start();
        if (!input_ || source_->error() != QAudio::NoError)
            StopInput();
        else
            connect(input_, &QIODevice::readyRead, this, &SpectrumPanel::OnInput);
    }
    fillBuffer_ = 0;
    fillOffset_ = 0;
    view_->SetPicture(picture_, source_ == nullptr);
}

void SpectrumPanel::StopInput() {
    if (!source_) return;
    source_->stop();
    delete source_;
    source_ = nullptr;
    input_ = nullptr;
}

// Fills the 8 buffers in turn; once any has filled, the 8 of them, oldest
// first, make one analysis however many filled since the last.
void SpectrumPanel::OnInput() {
    int finished = -1;
    while (input_) {
        char* fill = buffers_.data() + fillBuffer_ * kBufferBytes;
        const qint64 got = input_->read(fill + fillOffset_, kBufferBytes - fillOffset_);
        if (got <= 0) break;
        fillOffset_ += static_cast<int>(got);
        if (fillOffset_ < kBufferBytes) continue;
        finished = fillBuffer_;
        fillBuffer_ = (fillBuffer_ + 1) % kBuffers;
        fillOffset_ = 0;
    }
    if (finished < 0) return;
    std::vector<int16_t> samples(SPECTRUM_SAMPLES);
    for (int i = 0; i < kBuffers; ++i) {
        const int buffer = (finished + 1 + i) % kBuffers;
        std::memcpy(samples.data() + i * kBufferBytes / 2, buffers_.data() + buffer * kBufferBytes, kBufferBytes);
    }
    Analyse(samples.data());
}

void SpectrumPanel::Analyse(const int16_t* samples) {
    SpectrumAnalyse(analyzer_.get(), samples);
    Compose();
}

void SpectrumPanel::Compose() {
    picture_.fill(0);
    PutStrip(picture_, analyzer_->spectrum, 0);
    PutStrip(picture_, oscilloscope_ ? analyzer_->oscilloscope : analyzer_->history, kOscilloscopeTop);
    view_->SetPicture(picture_, source_ == nullptr);
}
