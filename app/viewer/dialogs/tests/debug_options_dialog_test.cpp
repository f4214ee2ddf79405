// "Debug Option": the scaled-decode fields round trip, and only OK writes them.
#include <cstring>

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTest>

#include "debug_options_dialog.hpp"
#include "lumapix/xr_image.h"
#include "test_suites.hpp"

using namespace lumapix;

class DebugOptionsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void writtenBackOnlyOnOk() {
        DecodeOptions options;
        DecodeOptionsDefaults(&options);
        options.faxWidth = 1728;
        options.monoPaletteFormat = 1;
        DecodeOptions before;
        std::memcpy(&before, &options, sizeof before);  // padding included
        auto edit = [](DebugOptionsDialog& dialog) {
            dialog.lineBox()->setChecked(false);
            dialog.stretchBox()->setChecked(true);
            dialog.modeList()->setCurrentIndex(0);
            dialog.widthBox()->setValue(160);
            dialog.heightBox()->setValue(120);
            dialog.paletteFormatList()->setCurrentIndex(0);
            dialog.clipXBox()->setValue(10);
            dialog.clipYBox()->setValue(20);
            dialog.clipWidthBox()->setValue(300);
            dialog.clipHeightBox()->setValue(200);
        };
        {
            DebugOptionsDialog dialog(&options);
            QVERIFY(dialog.lineBox()->isChecked());
            QCOMPARE(dialog.modeList()->currentText(), QStringLiteral("RGB"));  // the start-up target
            QCOMPARE(dialog.modeList()->itemText(XR_MODE_HIGH), QStringLiteral("HIGH"));
            QCOMPARE(dialog.paletteFormatList()->currentText(), QStringLiteral("WHITEISZERO"));
            edit(dialog);
            dialog.reject();
        }
        QCOMPARE(std::memcmp(&options, &before, sizeof options), 0);

        // OK writes exactly the dialog's fields; the rest (faxWidth among them) stays.
        DecodeOptions expected;
        std::memcpy(&expected, &before, sizeof expected);
        expected.line = 0, expected.stretch = 1, expected.targetMode = 0, expected.targetWidth = 160;
        expected.targetHeight = 120, expected.monoPaletteFormat = 0;
        expected.clipX = 10, expected.clipY = 20, expected.clipWidth = 300, expected.clipHeight = 200;
        DebugOptionsDialog dialog(&options);
        edit(dialog);
        dialog.accept();
        QCOMPARE(std::memcmp(&options, &expected, sizeof options), 0);

        // Reopening shows what OK stored.
        DebugOptionsDialog again(&options);
        QCOMPARE(again.modeList()->currentText(), QStringLiteral("指定なし"));
        QCOMPARE(again.clipHeightBox()->value(), 200);
        QVERIFY(again.stretchBox()->isChecked());
    }
};

std::unique_ptr<QObject> MakeDebugOptionsDialogTest() { return std::make_unique<DebugOptionsDialogTest>(); }

#include "debug_options_dialog_test.moc"
