// Start-up pieces on the offscreen platform: handing files to a running
// viewer, the saved window placement, the About box's version text.
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "about_dialog.hpp"
#include "main_frame.hpp"
#include "single_instance.hpp"

class StartupTest : public QObject {
    Q_OBJECT

    static QSettings Profile() { return QSettings(QStringLiteral("QUILLBAY"), QStringLiteral("Lumapix")); }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("QUILLBAY"));
        QCoreApplication::setApplicationName(QStringLiteral("Lumapix"));
    }

    void aSecondStartHandsItsFilesToTheRunningViewer() {
        const QString name = QStringLiteral("lumapix-test-%1").arg(QCoreApplication::applicationPid());
        SingleInstance sender(name);
        QVERIFY(!sender.ForwardToRunning({QStringLiteral("/tmp/a.bmp")}));  // nobody listening yet

        SingleInstance running(name);
        QVERIFY(running.Listen());
        QSignalSpy received(&running, &SingleInstance::filesReceived);
        QVERIFY(sender.ForwardToRunning({QStringLiteral("/tmp/a.bmp"), QStringLiteral("/tmp/b c.pnm")}));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toStringList(), (QStringList{QStringLiteral("/tmp/a.bmp"), QStringLiteral("/tmp/b c.pnm")}));
        QVERIFY(sender.ForwardToRunning({}));  // no files: only raise the window
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received[1][0].toStringList(), QStringList());
    }

    void thePlacementComesBackOnlyFromTenFields() {
        Profile().setValue(QStringLiteral("Settings/WindowPos"), QStringLiteral("0:1:-1:-1:-1:-1:40:30:640:430"));
        {
            CMainFrame frame;
            frame.ShowWithSavedPlacement();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            QCOMPARE(frame.geometry().size(), QSize(600, 400));
            frame.resize(700, 500);
            frame.close();  // writes the placement back
        }
        const QStringList fields = Profile().value(QStringLiteral("Settings/WindowPos")).toString().split(QLatin1Char(':'));
        QCOMPARE(fields.size(), 10);
        QCOMPARE(fields[1], QStringLiteral("1"));
        QCOMPARE(fields[8].toInt() - fields[6].toInt(), 700);

        Profile().setValue(QStringLiteral("Settings/WindowPos"), QStringLiteral("0:1:-1:-1:-1:-1:40:30:640"));
        CMainFrame frame;
        frame.ShowWithSavedPlacement();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.geometry().size(), QSize(1100, 760));  // nine fields: the default placement
    }

    void aboutShowsTheVersionInFourParts() {
        QCOMPARE(AboutDialog::VersionText(QStringLiteral("3.0.1")), QStringLiteral("Lumapix Ver. 3. 0. 1. 0"));
        QCOMPARE(AboutDialog::VersionText(QStringLiteral("3.1.2.7")), QStringLiteral("Lumapix Ver. 3. 1. 2. 7"));
        AboutDialog about;
        QVERIFY(about.webLink()->text().contains(QLatin1String(AboutDialog::kWebSite)));
        QVERIFY(about.mailLink()->text().contains(QStringLiteral("mailto:")));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
