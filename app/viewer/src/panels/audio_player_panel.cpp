#include "audio_player_panel.hpp"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "lumapix/audio_player.h"
#include "lumapix/audio_volume.h"
#include "lumapix/qt_wave_device.hpp"
#include "lumapix/wave_output.h"

namespace {

QPushButton* ControlButton(const QString& text, const char* icon, QWidget* parent) {
    auto* button = new QPushButton(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))), text, parent);
    button->setObjectName(text.toLower());
    button->setIconSize(QSize(20, 20));
    button->setEnabled(false);  // nothing to play yet
    return button;
}

QProgressBar* LevelBar(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setMaximumHeight(12);
    return bar;
}

int LevelPercent(uint32_t peak) { return static_cast<int>(std::min<uint32_t>(peak, 32768) * 100 / 32768); }

}  // namespace

AudioPlayerPanel::AudioPlayerPanel(QWidget* parent)
    : QWidget(parent),
      name_(new QLineEdit(this)),
      play_(ControlButton(QStringLiteral("Play"), "play", this)),
      stop_(ControlButton(QStringLiteral("Stop"), "stop", this)),
      pause_(ControlButton(QStringLiteral("Pause"), "pause", this)),
      balanceSlider_(new QSlider(Qt::Horizontal, this)),
      volumeSlider_(new QSlider(Qt::Vertical, this)),
      leftLevel_(LevelBar("leftLevel", this)),
      rightLevel_(LevelBar("rightLevel", this)) {
    setWindowTitle(QStringLiteral("オーディオプレイヤー"));
    name_->setObjectName(QStringLiteral("fileName"));
    name_->setReadOnly(true);

    auto* control = new QGroupBox(QStringLiteral("Control"), this);
    auto* buttons = new QHBoxLayout(control);
    for (QPushButton* b : {play_, stop_, pause_}) buttons->addWidget(b);

    auto* volumeBox = new QGroupBox(QStringLiteral("Volume"), this);
    auto* grid = new QGridLayout(volumeBox);
    grid->addWidget(new QLabel(QStringLiteral("L"), volumeBox), 0, 0);
    grid->addWidget(balanceSlider_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("R"), volumeBox), 0, 2);
    grid->addWidget(leftLevel_, 1, 0, 1, 3);
    grid->addWidget(rightLevel_, 2, 0, 1, 3);
    grid->addWidget(volumeSlider_, 0, 3, 3, 1);

    balanceSlider_->setObjectName(QStringLiteral("balance"));
    balanceSlider_->setRange(AUDIO_BALANCE_LEFT, AUDIO_BALANCE_RIGHT);
    balanceSlider_->setTickPosition(QSlider::TicksBelow);
    balanceSlider_->setTickInterval(10);
    balanceSlider_->setSingleStep(1);
    balanceSlider_->setPageStep(2);
    // 0 at the top, loudest; a vertical slider has its minimum at the bottom unless inverted.
    volumeSlider_->setObjectName(QStringLiteral("volume"));
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setInvertedAppearance(true);
    volumeSlider_->setInvertedControls(true);
    volumeSlider_->setTickPosition(QSlider::TicksRight);
    volumeSlider_->setTickInterval(10);
    volumeSlider_->setSingleStep(10);
    volumeSlider_->setPageStep(20);
    volumeSlider_->setMinimumHeight(90);

    volume_ = AudioVolumeOfWord(WaveOutputGetVolume());
    balance_ = AUDIO_BALANCE_CENTRE;
    balanceSlider_->setValue(balance_);
    volumeSlider_->setValue(AudioVolumeSliderPosition(volume_));
    ApplyVolume();
    connect(balanceSlider_, &QSlider::valueChanged, this, [this](int value) {
        balance_ = value;
        ApplyVolume();
    });
    connect(volumeSlider_, &QSlider::valueChanged, this, [this](int position) {
        volume_ = AudioVolumeFromSlider(position);
        ApplyVolume();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(name_);
    layout->addWidget(control);
    layout->addWidget(volumeBox);
    layout->addStretch();

    connect(play_, &QPushButton::clicked, this, &AudioPlayerPanel::Play);
    connect(stop_, &QPushButton::clicked, this, &AudioPlayerPanel::Stop);
    connect(pause_, &QPushButton::clicked, this, &AudioPlayerPanel::Pause);
    connect(&timer_, &QTimer::timeout, this, &AudioPlayerPanel::OnTimer);
}

AudioPlayerPanel::~AudioPlayerPanel() {
    // The decoding thread must not outlive the window that shows it.
    if (state_ != kNone) AudioPlayerStop();
}

void AudioPlayerPanel::OpenNewFile(const QString& path, int32_t type) {
    path_ = path;
    type_ = type;
    name_->setText(QFileInfo(path).fileName());
    Stop();
    Play();
}

void AudioPlayerPanel::Play() {
    if (path_.isEmpty()) return;
    if (state_ == kStopped) {
        lumapix::SelectQtWaveDevice();
        AudioPlayerSetFile(path_.toLocal8Bit().constData(), type_);
    }
    AudioPlayerPlay();
    SetState(kPlaying, true);
    timer_.start(kTimerMs);
}

void AudioPlayerPanel::Stop() {
    AudioPlayerStop();
    timer_.stop();
    SetState(kStopped, false);
}

void AudioPlayerPanel::Pause() {
    AudioPlayerPause();
    timer_.stop();
    SetState(kPaused, false);
}

void AudioPlayerPanel::SetState(PlaybackState state, bool playing) {
    play_->setEnabled(!path_.isEmpty() && !playing);
    stop_->setEnabled(!path_.isEmpty() && playing);
    pause_->setEnabled(!path_.isEmpty() && playing);
    if (!playing) ShowLevels();
    if (state == state_) return;
    state_ = state;
    emit playbackStateChanged(state);
}

// The meters follow the last buffer the device has played.
void AudioPlayerPanel::ShowLevels() {
    uint32_t left = 0, right = 0;
    WaveOutputLevels(&left, &right);
    leftLevel_->setValue(LevelPercent(left));
    rightLevel_->setValue(LevelPercent(right));
}

// A stream that has ended by itself leaves the panel as Stop would.
void AudioPlayerPanel::OnTimer() {
    ShowLevels();
    if (state_ == kPlaying && AudioPlayerState() == PLAYER_STOPPED) Stop();
}

void AudioPlayerPanel::ApplyVolume() { WaveOutputSetVolume(AudioVolumeWord(volume_, balance_)); }
