// "オーディオプレイヤー": the file playing, Play/Stop/Pause, balance and volume,
// and two level meters fed by the sound the device has just taken.
#ifndef LUMAPIX_VIEWER_AUDIO_PLAYER_PANEL_HPP
#define LUMAPIX_VIEWER_AUDIO_PLAYER_PANEL_HPP

#include <QTimer>
#include <QWidget>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

class AudioPlayerPanel : public QWidget {
    Q_OBJECT

public:
    // The playback state the frame's menus follow; kNone until a file has been played.
    enum PlaybackState { kNone = 0, kPlaying = 1, kStopped = 2, kPaused = 3 };
    static constexpr int kTimerMs = 500;

    explicit AudioPlayerPanel(QWidget* parent = nullptr);
    ~AudioPlayerPanel() override;

    // Opening an audio file: keep path and type, show the name, stop what plays, play this.
    void OpenNewFile(const QString& path, int32_t type);
    void Play();
    void Stop();
    void Pause();

    int playbackState() const { return state_; }
    QString path() const { return path_; }
    uint32_t volume() const { return volume_; }
    int32_t balance() const { return balance_; }

signals:
    void playbackStateChanged(int state);

private:
    void SetState(PlaybackState state, bool playing);
    void ShowLevels();
    void OnTimer();
    void ApplyVolume();

    QLineEdit* name_;
    QPushButton* play_;
    QPushButton* stop_;
    QPushButton* pause_;
    QSlider* balanceSlider_;
    QSlider* volumeSlider_;
    QProgressBar* leftLevel_;
    QProgressBar* rightLevel_;
    QTimer timer_;
    QString path_;
    int32_t type_ = 0;
    uint32_t volume_ = 65535;
    int32_t balance_ = 10;
    PlaybackState state_ = kNone;
};

#endif
