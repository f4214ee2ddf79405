// The real viewer on a virtual X display started with a WAV file and a profile
// that shows the spectrum panel: the player panel appears playing (Play off,
// Stop and Pause on), and the screenshot holds the spectrum's black picture.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

namespace {

QString OutDir() {
    QString dir = qEnvironmentVariable("LUMAPIX_TEST_TMP", QDir::tempPath()) + QStringLiteral("/audio_end_to_end");
    QDir().mkpath(dir);
    return dir;
}

}  // namespace

class AudioEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        for (const char* tool : {"xvfb-run", "ffmpeg"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP("xvfb-run or ffmpeg is not installed (scripts/install-deps)");
    }

    void opensAWavPlayingWithTheSpectrumShown() {
        const QString wav = OutDir() + QStringLiteral("/tone.wav");
        QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"),
                                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                    QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                    QStringLiteral("sine=frequency=1000:sample_rate=44100:duration=10"), wav}),
                 0);
        // A profile of its own in which the spectrum panel was left open.
        const QString config = OutDir() + QStringLiteral("/config");
        QDir(config).removeRecursively();
        {
            QSettings profile(config + QStringLiteral("/QUILLBAY/Lumapix.conf"), QSettings::IniFormat);
            profile.setValue(QStringLiteral("Dlg/SpectrumShow"), 5);
        }
        const QString png = OutDir() + QStringLiteral("/playing.png");
        QFile::remove(png);
        QProcess viewer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        viewer.setProcessEnvironment(environment);
        viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        viewer.start(QStringLiteral("xvfb-run"),
                     {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x900x24"),
                      QStringLiteral(LUMAPIX_VIEWER_PATH), QStringLiteral("--grab"), png, wav});
        QVERIFY(viewer.waitForFinished(60000));
        QCOMPARE(viewer.exitCode(), 0);
        const QString report = QString::fromUtf8(viewer.readAllStandardOutput());
        QVERIFY2(report.contains(QStringLiteral("audio: 1 011\n")), qPrintable(report));

        QImage shot(png);
        QVERIFY(!shot.isNull());
        // The spectrum picture: a black area at least 300 x 60 pixels.
        int blackRows = 0;
        for (int y = 0; y < shot.height(); ++y) {
            int run = 0, longest = 0;
            for (int x = 0; x < shot.width(); ++x) {
                run = (shot.pixel(x, y) & 0xFFFFFF) == 0 ? run + 1 : 0;
                longest = std::max(longest, run);
            }
            blackRows += longest >= 300 ? 1 : 0;
        }
        QVERIFY2(blackRows >= 60, qPrintable(QString::number(blackRows)));
    }
};

QTEST_GUILESS_MAIN(AudioEndToEndTest)
#include "audio_end_to_end_test.moc"
