// The player and spectrum panels in the real frame on the offscreen platform:
// opening a WAV shows the player and plays it (through the null device here),
// buttons and "音声" items follow the playback state, sliders set the device
// volume, meters follow the tones, and the spectrum paints its strips.
#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QLineEdit>
#include <QMdiArea>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <cmath>
#include <numbers>

#include "lumapix/audio_player.h"
#include "lumapix/wave_output.h"
#include "main_frame.hpp"
#include "panels/audio_player_panel.hpp"
#include "panels/frequency_panel.hpp"

namespace {

QString TestDir() {
    QString dir = qEnvironmentVariable("LUMAPIX_TEST_TMP", QDir::tempPath()) + QStringLiteral("/audio_panels");
    QDir().mkpath(dir);
    return dir;
}

// Left a tone at half scale, right at three tenths, for seconds.
QString ToneFile(const QString& name, int seconds) {
    const QString path = TestDir() + QLatin1Char('/') + name;
    const int status = QProcess::execute(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
         QStringLiteral("-i"),
         QStringLiteral("aevalsrc=0.5*sin(440*2*PI*t)|0.3*sin(660*2*PI*t):s=44100:d=%1").arg(seconds),
         QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), path});
    return status == 0 ? path : QString();
}

}  // namespace

class AudioPanelsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CMainFrame> frame;

    QPushButton* Button(const char* name) const { return frame->findChild<QPushButton*>(QLatin1String(name)); }
    // Play, Stop, Pause enabled, as a string such as "011".
    QString Buttons() const {
        QString s;
        for (const char* name : {"play", "stop", "pause"}) s += Button(name)->isEnabled() ? u'1' : u'0';
        return s;
    }
    QString MenuItems() const {
        QString s;
        for (const char* name : {"audio.play", "audio.stop", "audio.pause"})
            s += frame->action(name)->isEnabled() ? u'1' : u'0';
        return s;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        frame = std::make_unique<CMainFrame>();
        frame->resize(1000, 800);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }
    void cleanup() { frame.reset(); }

    void openingAWavShowsThePlayerAndTheControlsFollowPlayback() {
        AudioPlayerPanel* panel = frame->audioPlayerPanel();
        QCOMPARE(Buttons(), QStringLiteral("000"));  // no file yet
        QCOMPARE(MenuItems(), QStringLiteral("000"));
        QVERIFY(!frame->panelShown(CMainFrame::kAudio));

        const QString wav = ToneFile(QStringLiteral("long.wav"), 20);
        QVERIFY2(!wav.isEmpty(), "ffmpeg missing (scripts/install-deps)");
        QVERIFY(frame->OpenFile(wav));
        QVERIFY(frame->panelShown(CMainFrame::kAudio));
        QVERIFY(frame->action("audio.player")->isChecked());
        QCOMPARE(frame->findChild<QLineEdit*>(QStringLiteral("fileName"))->text(), QStringLiteral("long.wav"));
        QCOMPARE(panel->playbackState(), int{AudioPlayerPanel::kPlaying});
        QCOMPARE(AudioPlayerState(), int32_t{PLAYER_PLAYING});
        QCOMPARE(Buttons(), QStringLiteral("011"));
        QCOMPARE(MenuItems(), QStringLiteral("011"));
        // The meters settle on the tones' peaks: half and three tenths of full scale.
        auto* left = frame->findChild<QProgressBar*>(QStringLiteral("leftLevel"));
        auto* right = frame->findChild<QProgressBar*>(QStringLiteral("rightLevel"));
        QTRY_VERIFY_WITH_TIMEOUT(left->value() >= 48 && left->value() <= 50, 5000);
        QVERIFY2(right->value() >= 28 && right->value() <= 30, qPrintable(QString::number(right->value())));

        frame->action("audio.pause")->trigger();
        QCOMPARE(AudioPlayerState(), int32_t{PLAYER_PAUSED});
        QCOMPARE(Buttons(), QStringLiteral("100"));
        QCOMPARE(MenuItems(), QStringLiteral("100"));
        QTest::mouseClick(Button("play"), Qt::LeftButton);
        QCOMPARE(AudioPlayerState(), int32_t{PLAYER_PLAYING});
        QCOMPARE(Buttons(), QStringLiteral("011"));
        QTest::mouseClick(Button("stop"), Qt::LeftButton);
        QCOMPARE(AudioPlayerState(), int32_t{PLAYER_STOPPED});
        QCOMPARE(panel->playbackState(), int{AudioPlayerPanel::kStopped});
        QCOMPARE(Buttons(), QStringLiteral("100"));
        QCOMPARE(MenuItems(), QStringLiteral("100"));
        QCOMPARE(left->value(), 0);
        frame->action("audio.play")->trigger();  // stopped: the file opens again
        QCOMPARE(AudioPlayerState(), int32_t{PLAYER_PLAYING});
        // The audio document's own window closes at its first paint.
        QTRY_COMPARE(frame->mdiArea()->subWindowList().size(), 0);
    }

    void aStreamThatEndsLeavesThePanelStopped() {
        const QString wav = ToneFile(QStringLiteral("short.wav"), 1);
        QVERIFY(!wav.isEmpty());
        QVERIFY(frame->OpenFile(wav));
        QTRY_COMPARE_WITH_TIMEOUT(frame->audioPlayerPanel()->playbackState(), int{AudioPlayerPanel::kStopped}, 10000);
        QCOMPARE(Buttons(), QStringLiteral("100"));
        QCOMPARE(MenuItems(), QStringLiteral("100"));
    }

    void slidersSetBalanceAndVolumeOnTheDevice() {
        auto* balance = frame->findChild<QSlider*>(QStringLiteral("balance"));
        auto* volume = frame->findChild<QSlider*>(QStringLiteral("volume"));
        QCOMPARE(balance->value(), 10);
        volume->setValue(30);  // 70 % of full
        balance->setValue(0);
        QCOMPARE(WaveOutputGetVolume(), 45874u);  // right silent
        balance->setValue(10);
        volume->setValue(0);
        QCOMPARE(WaveOutputGetVolume(), 0xFFFFFFFFu);
    }

    void spectrumPaintsBarsOnTopAndTheTraceBelow() {
        frame->action("audio.spectrum")->trigger();
        QVERIFY(frame->panelShown(CMainFrame::kSpectrum));
        QVERIFY(frame->findChild<QDockWidget*>(QStringLiteral("SpectrumShow"))->isVisible());
        SpectrumPanel* panel = frame->spectrumPanel();
        std::vector<int16_t> samples(SPECTRUM_SAMPLES);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(
                std::lround(12000.0 * std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / 16.0)));
        panel->Analyse(samples.data());
        const QImage& picture = panel->picture();
        QCOMPARE(picture.size(), QSize(352, 172));
        // A tone at a sixteenth of the rate: bar 11 (columns 44..47) rises from the bottom of the top strip.
        QCOMPARE(picture.pixelIndex(45, 79), 32);
        QVERIFY(picture.pixelIndex(45, 40) >= 32);
        // Rows 80..91 stay clear; the trace runs below them.
        for (int x = 0; x < 352; x += 7) QCOMPARE(picture.pixelIndex(x, 85), 0);
        int traced = 0;
        for (int y = 92; y < 172; ++y) traced += picture.pixelIndex(100, y) == SPECTRUM_TRACE_COLOUR ? 1 : 0;
        QVERIFY(traced > 0);
        const QString png = TestDir() + QStringLiteral("/spectrum_panel.png");
        QVERIFY(panel->grab().save(png));
        frame->action("audio.spectrum")->trigger();
        QVERIFY(!frame->panelShown(CMainFrame::kSpectrum));
        QVERIFY(!panel->inputOpen());  // hidden: the input is closed
    }
};

QTEST_MAIN(AudioPanelsTest)
#include "audio_panels_test.moc"
