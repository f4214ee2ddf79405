// "ファイル拡張子関連付け" against a scratch XDG home.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "associations_dialog.hpp"
#include "test_suites.hpp"

using namespace lumapix;

namespace {

constexpr std::size_t kJp2 = 5;
constexpr std::size_t kMhr = 8;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class AssociationsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        home_ = std::make_unique<QTemporaryDir>(qEnvironmentVariable("LUMAPIX_TEST_TMP", QDir::tempPath()) +
                                                QStringLiteral("/associations-XXXXXX"));
        QVERIFY(home_->isValid());
        env_ = AssociationEnvironment{};
        env_.configHome = home_->filePath(QStringLiteral("config")).toStdString();
        env_.dataHome = home_->filePath(QStringLiteral("data")).toStdString();
        env_.dataDirs = {home_->filePath(QStringLiteral("system")).toStdString()};
        env_.runTool = [](const std::vector<std::string>&) {};
    }

    void opensOnTheRegisteredRowsAndAppliesOnOk() {
        QDir().mkpath(home_->filePath(QStringLiteral("config")));
        QFile list(home_->filePath(QStringLiteral("config/mimeapps.list")));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("[Default Applications]\nimage/jp2=lumapix-viewer.desktop;\nimage/bmp=gimp.desktop;\n");
        list.close();

        AssociationsDialog dialog(env_);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("ファイル拡張子関連付け"));
        QCOMPARE(dialog.rowBox(kJp2)->text(), QStringLiteral("JP2"));
        for (std::size_t row = 0; row < kAssociationRowCount; ++row)
            QCOMPARE(dialog.rowBox(row)->isChecked(), row == kJp2);

        dialog.rowBox(kJp2)->setChecked(false);
        dialog.rowBox(kMhr)->setChecked(true);
        dialog.accept();
        AssociationTicks expected{};
        expected[kMhr] = true;
        QCOMPARE(RegisteredRows(env_), expected);
        QVERIFY(ReadAll(list.fileName()).contains("image/bmp=gimp.desktop;\n"));
    }

    void selectAllAndClearAll() {
        AssociationTicks all;
        all.fill(true);
        {
            AssociationsDialog dialog(env_);
            QTest::mouseClick(dialog.selectAllButton(), Qt::LeftButton);
            QCOMPARE(dialog.ticked(), all);
            dialog.reject();
        }
        QVERIFY(!QFile::exists(home_->filePath(QStringLiteral("config/mimeapps.list"))));

        Apply(all, env_);
        AssociationsDialog dialog(env_);
        QCOMPARE(dialog.ticked(), all);
        QTest::mouseClick(dialog.clearAllButton(), Qt::LeftButton);
        dialog.accept();
        QCOMPARE(RegisteredRows(env_), AssociationTicks{});
    }

private:
    std::unique_ptr<QTemporaryDir> home_;
    AssociationEnvironment env_;
};

std::unique_ptr<QObject> MakeAssociationsDialogTest() { return std::make_unique<AssociationsDialogTest>(); }

#include "associations_dialog_test.moc"
