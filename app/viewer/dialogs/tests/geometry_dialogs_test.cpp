// "解像度変換" and "回転と反転": the aspect rule, the sharpness enabling, the choices.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTest>

#include "resolution_dialog.hpp"
#include "rotation_dialog.hpp"
#include "scroll_edit.hpp"
#include "test_suites.hpp"

using namespace lumapix;

class GeometryDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void resolutionKeepsTheAspectRatio() {
        ResolutionDialog dialog(640, 480);
        QCOMPARE(dialog.currentSizeLabel()->text(), QStringLiteral("640 x 480"));
        QCOMPARE(dialog.newWidth(), 640);
        QVERIFY(dialog.keepAspectBox()->isChecked());
        dialog.widthBox()->setValue(320);
        QCOMPARE(dialog.newHeight(), 240);
        dialog.heightBox()->setValue(100);
        QCOMPARE(dialog.newWidth(), 133);  // 100 * 640 / 480, truncated
        dialog.heightBox()->setValue(32767);
        QCOMPARE(dialog.newWidth(), 32767);  // limited, not 43689
        dialog.keepAspectBox()->setChecked(false);
        dialog.widthBox()->setValue(10);
        QCOMPARE(dialog.newHeight(), 32767);
        QCOMPARE(dialog.widthBox()->maximum(), 32767);
        QCOMPARE(dialog.widthBox()->minimum(), 1);
    }

    void sharpnessOnlyForBicubic() {
        ResolutionDialog dialog(10, 10);
        QCOMPARE(dialog.methodBox()->currentText(), QStringLiteral("最近傍法"));
        QVERIFY(!dialog.sharpnessEdit()->isEnabled());
        dialog.methodBox()->setCurrentIndex(2);
        QVERIFY(dialog.sharpnessEdit()->isEnabled());
        dialog.sharpnessEdit()->setValue(-500);
        QCOMPARE(dialog.sharpness(), -128);
        QCOMPARE(dialog.method(), 2);
        dialog.methodBox()->setCurrentIndex(1);
        QVERIFY(!dialog.sharpnessEdit()->isEnabled());
        QVERIFY(dialog.lineByLine());
    }

    void rotationChoicesMapToAngles() {
        RotationDialog dialog;
        QCOMPARE(dialog.angle(), 90);
        for (int angle : {180, 270, -1, -2}) {
            dialog.setAngle(angle);
            QCOMPARE(dialog.angle(), angle);
        }
    }
};

std::unique_ptr<QObject> MakeGeometryDialogsTest() { return std::make_unique<GeometryDialogsTest>(); }

#include "geometry_dialogs_test.moc"
