// "スペクトラム": bars and an oscilloscope trace of the default sound input
// (not of the playback), recomputed each time 1024 new samples have arrived.
#ifndef LUMAPIX_VIEWER_SPECTRUM_PANEL_HPP
#define LUMAPIX_VIEWER_SPECTRUM_PANEL_HPP

#include <QFrame>
#include <QImage>
#include <array>
#include <memory>

#include "lumapix/frequency_analysis.h"

class QAudioSource;
class QIODevice;

// The painted area: a sunken edge around the 352 x 172 picture stretched to fit.
class SpectrumView : public QFrame {
public:
    explicit SpectrumView(QWidget* parent = nullptr);
    void SetPicture(const QImage& picture, bool noInput);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    bool noInput_ = false;
};

class SpectrumPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBuffers = 8;
    static constexpr int kBufferBytes = 2048;
    static constexpr int kSampleRate = 22050;
    static constexpr int kOscilloscopeTop = 92;
    static constexpr int kPictureHeight = 172;

    explicit SpectrumPanel(QWidget* parent = nullptr);
    ~SpectrumPanel() override;

    // One update from 8192 samples, oldest first: what every finished input buffer leads to.
    void Analyse(const int16_t* samples);
    // Spectrum strip on top, the oscilloscope (or history) strip from row 92, as painted.
    const QImage& picture() const { return picture_; }
    bool inputOpen() const { return source_ != nullptr; }
    bool oscilloscopeShown() const { return oscilloscope_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void StartInput();
    void StopInput();
    void OnInput();
    void Compose();

    std::unique_ptr<SpectrumAnalyzer> analyzer_;
    SpectrumView* view_;
    QImage picture_;
    QAudioSource* source_ = nullptr;
    QIODevice* input_ = nullptr;
    std::array<char, kBuffers * kBufferBytes> buffers_{};
    int fillBuffer_ = 0;
    int fillOffset_ = 0;
    bool oscilloscope_ = true;
};

#endif
