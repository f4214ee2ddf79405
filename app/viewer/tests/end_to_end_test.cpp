// The real viewer on a virtual X display: start lumapix-viewer on generated
// files of several modes, let it grab its own window, then compare the image
// area of the screenshot and the status texts with what the file holds.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "lumapix/display_bitmap.h"
#include "lumapix/document.h"
#include "lumapix/test_images.h"

namespace {

QString OutDir() {
    QString dir = qEnvironmentVariable("LUMAPIX_TEST_TMP", QDir::tempPath()) + QStringLiteral("/end_to_end");
    QDir().mkpath(dir);
    return dir;
}

// Writes the test picture in mode as a file of format.
QString Sample(int32_t mode, int32_t format, const char* name) {
    lumapix::COrvineDoc doc;
    if (MakeTestImage(&doc.image, mode, 96, 64) != XR_OK) return {};
    const std::string path = (OutDir() + QLatin1Char('/') + QLatin1String(name)).toStdString();
    EncodeOptions options;
    EncodeOptionsDefaults(&options);
    options.pnmBinary = 1;
    lumapix::DocumentQuestions quiet;
    return lumapix::SaveImageFile(doc, doc.image, path, options, format, quiet) ? QString::fromStdString(path)
                                                                                 : QString();
}

struct Shot {
    QImage picture;
    QString status, zoom, plugins;
    QPoint viewOrigin;
};

Shot RunViewer(const QString& file, const QString& png, const QStringList& extra = {}) {
    Shot shot;
    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList arguments = QStringList{QStringLiteral("-a"), QStringLiteral("-s"),
                                              QStringLiteral("-screen 0 1280x900x24"), QStringLiteral(LUMAPIX_VIEWER_PATH),
                                              QStringLiteral("--grab"), png, file} +
                                  extra;
    viewer.start(QStringLiteral("xvfb-run"), arguments);
    if (!viewer.waitForFinished(60000) || viewer.exitCode() != 0) return shot;
    for (const QString& line : QString::fromUtf8(viewer.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("status: "))) shot.status = line.mid(8);
        if (line.startsWith(QStringLiteral("zoom: "))) shot.zoom = line.mid(6);
        if (line.startsWith(QStringLiteral("plugins: "))) shot.plugins = line.mid(9);
        if (line.startsWith(QStringLiteral("view: "))) {
            QStringList n = line.mid(6).split(QLatin1Char(' '));
            shot.viewOrigin = QPoint(n.value(0).toInt(), n.value(1).toInt());
        }
    }
    shot.picture.load(png);
    return shot;
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
            QSKIP("xvfb-run is not installed");
    }

    void showsEachModeAsTheFileHoldsIt_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("status");
        QTest::newRow("rgb bmp") << int{XR_MODE_RGB} << int{XR_FORMAT_BMP} << "rgb.bmp"
                                 << "RGB 0 bit : BLACKISZERO (96x64)   ";
        QTest::newRow("index bmp") << int{XR_MODE_INDEX} << int{XR_FORMAT_BMP} << "index.bmp"
                                   << "INDEX 0 bit : BLACKISZERO (96x64)   ";
        QTest::newRow("gray pgm") << int{XR_MODE_GRAY} << int{XR_FORMAT_PNM} << "gray.pnm"
                                  << "GRAY 8 bit : BLACKISZERO (96x64)   ";
        QTest::newRow("mono pbm") << int{XR_MODE_MONO} << int{XR_FORMAT_PNM} << "mono.pnm"
                                  << "MONO 0 bit : WHITEISZERO (96x64)   ";
    }

    void showsEachModeAsTheFileHoldsIt() {
        QFETCH(int, mode);
        QFETCH(int, format);
        QFETCH(QString, name);
        QFETCH(QString, status);
        const QString file = Sample(mode, format, qPrintable(name));
        QVERIFY(!file.isEmpty());
        Shot shot = RunViewer(file, OutDir() + QStringLiteral("/") + name + QStringLiteral(".png"));
        QVERIFY2(!shot.picture.isNull(), "the viewer did not write its screenshot");
        QCOMPARE(shot.status, status);
        QCOMPARE(shot.zoom, QStringLiteral("表示 = 1.000倍"));

        // What the window should show, worked out from the file without any widget.
        lumapix::COrvineDoc doc;
        DecodeOptions options;
        DecodeOptionsDefaults(&options);
        lumapix::DocumentQuestions quiet;
        QCOMPARE(lumapix::OpenDocument(doc, file.toStdString(), options, quiet), lumapix::OpenOutcome::kOpened);
        lumapix::DisplayBitmap bitmap;
        QVERIFY(lumapix::BuildDisplayBitmap(doc.image, doc.bitWindow, &bitmap));
        int wrong = 0;
        for (uint32_t y = 0; y < bitmap.height; y += 3)
            for (uint32_t x = 0; x < bitmap.width; x += 3) {
                const uint8_t* line = bitmap.Line(y);
                QRgb want;
                if (bitmap.bitsPerPixel == 24)
                    want = qRgb(line[3 * x + 2], line[3 * x + 1], line[3 * x]);
                else if (bitmap.bitsPerPixel == 8)
                    want = bitmap.palette[line[x]];
                else
                    want = bitmap.palette[line[x / 8] >> (7 - x % 8) & 1];
                QRgb got = shot.picture.pixel(shot.viewOrigin + QPoint(static_cast<int>(x), static_cast<int>(y)));
                if ((got & 0xFFFFFF) != (want & 0xFFFFFF)) ++wrong;
            }
        QCOMPARE(wrong, 0);
    }

    // Started with a file and a filter from plg_filter: the picture turns sepia,
    // every pixel with red >= green >= blue, and the tones keep their order.
    void runsAFilterPlugInFromTheCommandLine() {
        const QString file = Sample(XR_MODE_RGB, XR_FORMAT_BMP, "filtered.bmp");
        QVERIFY(!file.isEmpty());
        Shot shot = RunViewer(file, OutDir() + QStringLiteral("/filtered.png"),
                              {QStringLiteral("--filter"), QStringLiteral("セピア調")});
        QVERIFY2(!shot.picture.isNull(), "the viewer did not write its screenshot");
        QVERIFY2(shot.plugins.contains(QStringLiteral("セピア調")), qPrintable(shot.plugins));
        QVERIFY(shot.plugins.contains(QStringLiteral("シャープ (3x3)")));
        int coloured = 0;
        for (int y = 0; y < 64; y += 4)
            for (int x = 0; x < 96; x += 4) {
                QRgb p = shot.picture.pixel(shot.viewOrigin + QPoint(x, y));
                QVERIFY2(qRed(p) >= qGreen(p) && qGreen(p) >= qBlue(p), qPrintable(QString::number(p, 16)));
                coloured += qRed(p) > qBlue(p) ? 1 : 0;
            }
        QVERIFY(coloured > 300);  // not merely grey
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
