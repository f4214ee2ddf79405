// The main window driven as a user would, on the offscreen platform: open
// files, zoom, click, move the bit trackbars, toggle panels, copy.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QMap>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>

#include "child_frame.hpp"
#include "file_filters.hpp"
#include "lumapix/plugin_host.h"
#include "lumapix/resize_image.h"
#include "lumapix/rotate_image.h"
#include "lumapix/view_rules.h"
#include "main_frame.hpp"
#include "orvine_view.hpp"
#include "panels/display_bit_panel.hpp"
#include "panels/navigator_panel.hpp"

namespace {

QString TestDir() {
    QString dir = qEnvironmentVariable("LUMAPIX_TEST_TMP", QDir::tempPath()) + QStringLiteral("/frame_test");
    QDir().mkpath(dir);
    return dir;
}

QString WriteFile(const QString& name, const QByteArray& bytes) {
    QString path = TestDir() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
}

// 4 x 2 colour image with distinct pixels, a 2-pixel bitmap, a 12-bit grey ramp.
QString RgbFile() {
    QByteArray pixels;
    for (int i = 0; i < 8; ++i) {
        pixels += char(30 * i);
        pixels += char(200 - 20 * i);
        pixels += char(i * 7 + 1);
    }
    return WriteFile(QStringLiteral("colours.ppm"), QByteArray("P6\n4 2\n255\n") + pixels);
}

QString BitmapFile() { return WriteFile(QStringLiteral("twobits.pbm"), "P1\n2 1\n0 1\n"); }

QString WideGrayFile() {
    return WriteFile(QStringLiteral("wide.pgm"), "P2\n3 1\n4095\n291 2067 4095\n");
}

QRgb ShownPixel(COrvineView* view, int x, int y) {
    return view->viewport()->grab().toImage().pixel(x, y);
}

uint16_t GrayWSample(const XrImage& image, uint32_t x) {
    const uint8_t* p = ImageLine(&image, 0) + 2 * x;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CMainFrame> frame;

    COrvineView* Open(const QString& path) {
        if (!frame->OpenFile(path)) return nullptr;
        frame->activeChild()->resize(500, 400);  // room around the image for clicks outside it
        return frame->activeView();
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

    void statusAndZoomFollowTheActiveView() {
        COrvineView* view = Open(RgbFile());
        QVERIFY(view);
        QCOMPARE(frame->imageStatusText(), QStringLiteral("RGB 8 bit : BLACKISZERO (4x2)   "));
        QCOMPARE(frame->zoomStatusText(), QStringLiteral("表示 = 1.000倍"));
        for (int i = 0; i < 5; ++i) frame->action("view.zoomIn")->trigger();
        QCOMPARE(view->zoom(), 524288u);
        QCOMPARE(frame->zoomStatusText(), QStringLiteral("表示 = 8.000倍"));
        for (int i = 0; i < 8; ++i) frame->action("view.zoomOut")->trigger();
        QCOMPARE(view->zoom(), 8192u);
        QCOMPARE(frame->zoomStatusText(), QStringLiteral("表示 = 0.125倍"));
        // The view's own keys: C zooms in, keypad minus out, E back to actual pixels.
        QTest::keyClick(view, Qt::Key_C);
        QCOMPARE(view->zoom(), 16384u);
        QTest::keyClick(view, Qt::Key_Minus, Qt::KeypadModifier);
        QCOMPARE(view->zoom(), 8192u);
        QTest::keyClick(view, Qt::Key_E);
        QCOMPARE(view->zoom(), 65536u);
        frame->action("file.closeAll")->trigger();
        QCOMPARE(frame->imageStatusText(), QString());
    }

    void paintsTheImagePixelsAtEveryZoom() {
        COrvineView* view = Open(RgbFile());
        QVERIFY(view);
        const XrImage& image = view->document().image;
        auto expected = [&](int x, int y) {
            const uint8_t* p = ImageLine(&image, static_cast<uint32_t>(y)) + 3 * x;
            return qRgb(p[2], p[1], p[0]);
        };
        QCOMPARE(ShownPixel(view, 3, 1), expected(3, 1));
        QCOMPARE(ShownPixel(view, 1, 0), expected(1, 0));
        frame->action("view.zoomIn")->trigger();  // each pixel becomes 2 x 2
        QCOMPARE(ShownPixel(view, 7, 3), expected(3, 1));
        QCOMPARE(ShownPixel(view, 2, 1), expected(1, 0));
        frame->action("edit.copy")->trigger();
        QImage copied = QApplication::clipboard()->image();
        QCOMPARE(copied.size(), QSize(4, 2));
        QCOMPARE(copied.pixel(3, 1), expected(3, 1));
    }

    void bitmapsWithWhiteIsZeroShowZeroBitsWhite() {
        COrvineView* view = Open(BitmapFile());
        QVERIFY(view);
        QCOMPARE(view->document().image.PALFMT, uint8_t{XR_PALFMT_WHITEISZERO});
        QCOMPARE(ShownPixel(view, 0, 0), qRgb(255, 255, 255));
        QCOMPARE(ShownPixel(view, 1, 0), qRgb(0, 0, 0));
        QVERIFY(frame->imageStatusText().startsWith(QStringLiteral("MONO 0 bit : WHITEISZERO (2x1)")));
    }

    void navigatorReadsTheClickedPixel() {
        COrvineView* view = Open(RgbFile());
        QVERIFY(view);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(2, 1));
        QCOMPARE(frame->navigator()->colorText(), QStringLiteral(" Color \n"));  // hidden: not updated
        frame->SetPanelShown(CMainFrame::kNavigator, true);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(2, 1));
        QString text = frame->navigator()->colorText();
        QVERIFY2(text.startsWith(QStringLiteral(" RGB \n    R     ")), qPrintable(text));
        QCOMPARE(frame->navigator()->positionText(), QStringLiteral(" Position\n    x = 2\n    y = 1\n"));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(40, 30));  // beside the image
        QCOMPARE(frame->navigator()->colorText(), QString());
        QCOMPARE(frame->navigator()->positionText(), QStringLiteral(" Position\n    x = 40\n    y = 30\n"));
    }

    void displayBitsNarrowTheWindowOfWideSamples() {
        COrvineView* view = Open(WideGrayFile());
        QVERIFY(view);
        lumapix::COrvineDoc& doc = view->document();
        QCOMPARE(doc.image.MODE, int32_t{XR_MODE_GRAYW});
        QCOMPARE(doc.image.FMT, int8_t{12});
        frame->SetPanelShown(CMainFrame::kDisplayBits, true);
        DisplayBitPanel* panel = frame->displayBitPanel();
        QCOMPARE(panel->lowText(), QStringLiteral("9"));
        QCOMPARE(panel->highText(), QStringLiteral("16"));
        QCOMPARE(panel->lowSlider()->minimum(), 5);
        for (int x = 0; x < 3; ++x) {
            int v = lumapix::DisplaySample(GrayWSample(doc.image, static_cast<uint32_t>(x)), {9, 16});
            QCOMPARE(ShownPixel(view, x, 0), qRgb(v, v, v));
        }
        panel->lowSlider()->setValue(5);  // the top follows down to 12
        QCOMPARE(doc.bitWindow.lo, 5);
        QCOMPARE(doc.bitWindow.hi, 12);
        QCOMPARE(panel->highText(), QStringLiteral("12"));
        for (int x = 0; x < 3; ++x) {
            int v = lumapix::DisplaySample(GrayWSample(doc.image, static_cast<uint32_t>(x)), {5, 12});
            QCOMPARE(ShownPixel(view, x, 0), qRgb(v, v, v));
        }
        // An image whose bits cannot be chosen leaves the trackbars disabled and blank.
        QVERIFY(Open(BitmapFile()));
        QVERIFY(!panel->lowSlider()->isEnabled());
        QCOMPARE(panel->lowText(), QString());
    }

    void failedFilesShowThePictureAndOtherModesOpenOnce() {
        const QString bad = WriteFile(QStringLiteral("fake.bmp"), "not a bitmap at all");
        COrvineView* view = Open(bad);
        QVERIFY(view);
        QCOMPARE(view->document().status, int32_t{lumapix::COrvineDoc::kFailed});
        QCOMPARE(view->displayImage().size(), QSize(128, 32));
        QVERIFY(!frame->action("view.zoomIn")->isEnabled());
        QVERIFY(!frame->action("image.mode")->isEnabled());
        // Opening a file that is already open brings its window forward.
        QVERIFY(Open(RgbFile()));
        QVERIFY(Open(BitmapFile()));
        QVERIFY(Open(RgbFile()));
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 3);
        QCOMPARE(frame->activeChild()->windowTitle(), QStringLiteral("colours.ppm"));
    }

    void panelTogglesAreCheckedWhileShown() {
        QAction* toggle = frame->action("panel.cpu");
        QVERIFY(!toggle->isChecked());
        toggle->trigger();
        QVERIFY(toggle->isChecked());
        QVERIFY(frame->panelShown(CMainFrame::kCpu));
        // The panel's close box does what the toggle does.
        auto* dock = frame->findChild<QDockWidget*>(QStringLiteral("CpuShow"));
        QVERIFY(dock);
        dock->close();
        QVERIFY(!toggle->isChecked());
        QVERIFY(!frame->panelShown(CMainFrame::kCpu));
    }

    void pluginItemsFollowTheActiveImage() {
        lumapix::PluginHost plugins;
        QCOMPARE(plugins.LoadAll(LUMAPIX_PLUGIN_DIR), 2);
        frame = std::make_unique<CMainFrame>(&plugins);
        frame->show();
        auto items = [this] {
            emit frame->pluginMenu()->aboutToShow();
            QMap<QString, bool> enabled;
            for (QAction* a : frame->pluginMenu()->actions()) enabled[a->text()] = a->isEnabled();
            return enabled;
        };
        QCOMPARE(items().size(), 2);
        QVERIFY(!items().value(QStringLiteral("セピア調"), true));  // no document: greyed
        COrvineView* mono = Open(BitmapFile());
        QVERIFY(mono);
        QVERIFY(!items().value(QStringLiteral("セピア調"), true));  // a bitmap has no colours to tone
        COrvineView* view = Open(RgbFile());
        QVERIFY(items().value(QStringLiteral("セピア調")));
        lumapix::COrvineDoc& doc = view->document();
        const QByteArray before(static_cast<const char*>(doc.image.PIXELS), static_cast<qsizetype>(doc.image.SIZE));
        QVERIFY(frame->RunPlugin(1));
        QCOMPARE(QByteArray(static_cast<const char*>(doc.undo.PIXELS), static_cast<qsizetype>(doc.undo.SIZE)), before);
        QVERIFY(QByteArray(static_cast<const char*>(doc.image.PIXELS), static_cast<qsizetype>(doc.image.SIZE)) != before);
        frame.reset();  // before the plug-ins unload
    }

    void rotatingKeepsTheOldImageForUndoAndResizesTheView() {
        COrvineView* view = Open(RgbFile());
        QVERIFY(view);
        const XrImage& image = view->document().image;
        const uint8_t* p = ImageLine(&image, 1) + 3 * 3;  // bottom-right pixel
        const QRgb corner = qRgb(p[2], p[1], p[0]);
        QVERIFY(frame->ChangeActiveImage([](XrImage* r) { return RotateImage(r, 90, 1); }, QString()));
        QCOMPARE(frame->imageStatusText(), QStringLiteral("RGB 8 bit : BLACKISZERO (2x4)   "));
        QCOMPARE(view->displayImage().size(), QSize(2, 4));
        QCOMPARE(ShownPixel(view, 0, 3), corner);  // clockwise: the bottom-right corner goes bottom-left
        QCOMPARE(view->document().undo.WIDTH, uint16_t{4});
        QVERIFY(frame->ChangeActiveImage([](XrImage* r) { return ResizeImage(r, 0, 8, 16, 0, 1); }, QString()));
        QCOMPARE(frame->imageStatusText(), QStringLiteral("RGB 8 bit : BLACKISZERO (8x16)   "));
        QCOMPARE(view->document().undo.WIDTH, uint16_t{2});
    }

    void saveFiltersNameTheFormatsInRegistryOrder() {
        const QStringList save = SaveFilters();
        QCOMPARE(save.size(), 12);
        QCOMPARE(FilterLabel(save[3]), QStringLiteral("JP2 - JPEG 2000"));
        QCOMPARE(FilterLabel(save[10]), QStringLiteral("PNM - Portable Pixelmap (*.pnm)"));
        const QStringList open = OpenFilters();
        QCOMPARE(FilterLabel(open.first()), QStringLiteral("対応ファイル "));
        QCOMPARE(FilterLabel(open[4]), QStringLiteral("JP2 - JPEG 2000 (*.jp2),(*.jpc),(*.j2k)"));
        QCOMPARE(FilterLabel(open.last()), QStringLiteral("すべてのファイル (*.*)"));
    }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
