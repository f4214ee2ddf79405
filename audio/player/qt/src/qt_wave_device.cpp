#include "lumapix/qt_wave_device.hpp"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "lumapix/audio_volume.h"
#include "ring_pull_device.hpp"

namespace lumapix {

namespace {

// The sink and what it pulls from live on the device thread; every other
// thread reaches them through Run, which waits for the call to finish there.
class QtSinkDevice {
public:
    QtSinkDevice() {
        thread_.setObjectName(QStringLiteral("wave output"));
        anchor_.moveToThread(&thread_);
    }

    int32_t Open(const WaveFormat& wave, WaveBufferDone done, void* ring) {
        Close();
        QAudioFormat format;
        format.setSampleRate(static_cast<int>(wave.sampleRate));
        format.setChannelCount(static_cast<int>(wave.channels));
        switch (wave.bitsPerSample) {
            case 8: format.setSampleFormat(QAudioFormat::UInt8); break;
            case 16: format.setSampleFormat(QAudioFormat::Int16); break;
            case 32: format.setSampleFormat(QAudioFormat::Int32); break;
            default: return -1;
        }
        const QAudioDevice output = QMediaDevices::defaultAudioOutput();
        if (output.isNull() || !output.isFormatSupported(format)) return -1;
        pcm16_ = wave.bitsPerSample == 16;
        byteRate_ = wave.byteRate;
        thread_.start();
        bool started = false;
        Run([&] {
            pull_ = new RingPullDevice(done, ring, wave.channels, pcm16_);
            pull_->SetVolume(volume_);
            pull_->open(QIODevice::ReadOnly | QIODevice::Unbuffered);  // no read-ahead: a buffer is done when the sink has it
            sink_ = new QAudioSink(output, format);
            // A short sink buffer: pausing, the volume and the meters act within a fifth of a second.
            sink_->setBufferSize(static_cast<qsizetype>(wave.byteRate / 5 / wave.blockAlign * wave.blockAlign));
            if (!pcm16_) sink_->setVolume(AudioVolumeOfWord(volume_) / 65535.0);
            // A sink that stops on an error gives everything back, so the writer never waits for it.
            QObject::connect(sink_, &QAudioSink::stateChanged, pull_, [this](QAudio::State state) {
                if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError) pull_->ReturnAll();
            });
            sink_->start(pull_);
            started = sink_->error() == QAudio::NoError && sink_->state() != QAudio::StoppedState;
            if (!started) Destroy();
        });
        if (!started) StopThread();
        return started ? 0 : -1;
    }

    int32_t Submit(const uint8_t* data, uint32_t bytes, uint32_t index) {
        if (!pull_) return -1;
        pull_->Enqueue(data, bytes, index);
        // An idle sink starts pulling again on readyRead.
        RingPullDevice* pull = pull_;
        QMetaObject::invokeMethod(pull, [pull] { emit pull->readyRead(); }, Qt::QueuedConnection);
        return 0;
    }

    void Pause() {
        Run([this] {
            if (sink_) sink_->suspend();
        });
    }

    void Resume() {
        Run([this] {
            if (!sink_) return;
            sink_->resume();
            emit pull_->readyRead();
        });
    }

    // The sink keeps some sound of its own after taking the last buffer: wait for it to be heard.
    void Drain() {
        qint64 processedUs = 0, pulled = 0;
        Run([&] {
            if (!sink_) return;
            processedUs = sink_->processedUSecs();
            pulled = pull_->bytesPulled();
        });
        const qint64 pulledUs = byteRate_ ? pulled * 1000000 / byteRate_ : 0;
        const qint64 left = std::clamp<qint64>(pulledUs - processedUs, 0, 3000000);
        std::this_thread::sleep_for(std::chrono::microseconds(left));
    }

    void Reset() {
        Run([this] {
            if (!sink_) return;
            pull_->Clear();
            sink_->stop();
        });
    }

    void Close() {
        Run([this] { Destroy(); });
        StopThread();
    }

    void SetVolume(uint16_t left, uint16_t right) {
        volume_ = static_cast<uint32_t>(right) << 16 | left;
        Run([this] {
            if (!sink_) return;
            pull_->SetVolume(volume_);
            if (!pcm16_) sink_->setVolume(AudioVolumeOfWord(volume_) / 65535.0);
        });
    }

private:
    void Run(const std::function<void()>& call) {
        if (thread_.isRunning()) QMetaObject::invokeMethod(&anchor_, call, Qt::BlockingQueuedConnection);
    }

    void Destroy() {
        delete sink_;
        sink_ = nullptr;
        delete pull_;
        pull_ = nullptr;
    }

    void StopThread() {
        if (!thread_.isRunning()) return;
        thread_.quit();
        thread_.wait();
    }

    QThread thread_;
    QObject anchor_;
    QAudioSink* sink_ = nullptr;
    RingPullDevice* pull_ = nullptr;
    std::atomic<uint32_t> volume_{0xFFFFFFFFu};
    uint32_t byteRate_ = 0;
    bool pcm16_ = true;
};

QtSinkDevice& Sink(void* self) { return *static_cast<QtSinkDevice*>(self); }

}  // namespace

const WaveDevice* QtWaveDevice() {
    if (!QCoreApplication::instance() || QMediaDevices::defaultAudioOutput().isNull()) return nullptr;
    // Kept to the end of the process: a device may still be open when statics go.
    static auto* sink = new QtSinkDevice;
    static const WaveDevice device = {
        sink,
        [](void* self, const WaveFormat* format, WaveBufferDone done, void* ring) {
            return format && done ? Sink(self).Open(*format, done, ring) : -1;
        },
        [](void* self, const uint8_t* data, uint32_t bytes, uint32_t index) {
            return Sink(self).Submit(data, bytes, index);
        },
        [](void* self) { Sink(self).Pause(); },
        [](void* self) { Sink(self).Resume(); },
        [](void* self) { Sink(self).Drain(); },
        [](void* self) { Sink(self).Reset(); },
        [](void* self) { Sink(self).Close(); },
        [](void* self, uint16_t left, uint16_t right) { Sink(self).SetVolume(left, right); },
    };
    return &device;
}

bool SelectQtWaveDevice() {
    const WaveDevice* device = QtWaveDevice();
    WaveOutputSelectDevice(device);
    return device != nullptr;
}

}  // namespace lumapix
