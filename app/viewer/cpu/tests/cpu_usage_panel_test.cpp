// The CPU panel's drawing on a 300x130 client: graph area x 4..295,
// y 24..125 (height 102), quarter lines at y 49, 75 and 100.
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <vector>

#include "cpu_sampler.hpp"
#include "cpu_usage_panel.hpp"

namespace {

constexpr QRgb kWhite = 0xffffffff, kGrey = 0xff7f7f7f, kBlack = 0xff000000;

QImage Render(const std::vector<int>& history) {
    QImage image(300, 130, QImage::Format_RGB32);
    QPainter painter(&image);
    lumapix::PaintCpuUsage(painter, image.rect(), history);
    return image;
}

}  // namespace

class CpuUsagePanelTest : public QObject {
    Q_OBJECT

private slots:
    void flatHistoryEveryPixel() {
        // 50 %: y = 126 - 51 - 1 = 74; 146 samples 2 px apart reach x = 5.
        const QImage image = Render(std::vector<int>(256, 50));
        for (int y = 23; y < 130; ++y)
            for (int x = 0; x < 300; ++x) {
                QRgb expected = kWhite;
                if ((y == 49 || y == 75 || y == 100) && x >= 4 && x <= 295) expected = kGrey;
                if (y == 74 && x >= 5 && x <= 295) expected = kBlack;
                if (image.pixel(x, y) != expected) QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
    }

    void shortHistoryFromTheRight() {
        const QImage image = Render({0, 30, 250, -5});  // out of range held to 0..100
        QCOMPARE(image.pixel(295, 125), kBlack);
        QCOMPARE(image.pixel(293, 95), kBlack);   // 126 - 30 - 1
        QCOMPARE(image.pixel(291, 23), kBlack);   // 100 % sits just above the area
        QCOMPARE(image.pixel(288, 125), kWhite);  // history ends
        // The strip shows the newest value.
        QVERIFY(Render({5}).copy(0, 0, 300, 23) != Render({100}).copy(0, 0, 300, 23));
    }

    void panelShowsTheSampler() {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("stat")).toStdString();
        lumapix::CpuSampler sampler(path);
        std::ofstream(path) << "cpu 0 0 0 0\n";
        sampler.SampleNow();
        std::ofstream(path) << "cpu 10 0 0 10\n";
        QVERIFY(sampler.SampleNow());

        lumapix::CpuUsagePanel panel(sampler);
        QCOMPARE(panel.windowTitle(), QStringLiteral("CPU使用率"));
        panel.resize(panel.sizeHint());
        const QImage image = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.pixel(295, 74), kBlack);  // 50 % newest
    }
};

QTEST_MAIN(CpuUsagePanelTest)
#include "cpu_usage_panel_test.moc"
