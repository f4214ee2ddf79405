// Dialogs asked before or around a decode: format choice, decode options, fax, mono and RAW parameters.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "decode_options_dialog.hpp"
#include "fax_parameters_dialog.hpp"
#include "format_choice_dialog.hpp"
#include "lumapix/xr_image.h"
#include "mono_palette_dialog.hpp"
#include "raw_parameters_dialog.hpp"
#include "test_suites.hpp"

using namespace lumapix;

namespace {

DecodeOptions StartOptions() {
    DecodeOptions options;
    DecodeOptionsDefaults(&options);
    return options;
}

}  // namespace

class OpenDialogsTest : public QObject {
    Q_OBJECT
private slots:
    // Must run before anything accepts a FormatChoiceDialog.
    void formatChoiceRemembersLastConfirmedChoice() {
        {
            FormatChoiceDialog first;
            QCOMPARE(first.choice(), QStringLiteral("bmp"));
            QVERIFY(!first.setChoice(QStringLiteral("raw")));  // not offered
            QVERIFY(first.setChoice(QStringLiteral("pbm")));
            first.accept();
        }
        FormatChoiceDialog second;
        QCOMPARE(second.choice(), QStringLiteral("pbm"));
        QCOMPARE(second.extension(), QStringLiteral("pbm"));
        // Closing without OK is no choice.
        second.setChoice(QStringLiteral("gif"));
        second.reject();
        QCOMPARE(FormatChoiceDialog::rememberedChoice(), QStringLiteral("pbm"));
        QCOMPARE(FormatChoiceDialog().choice(), QStringLiteral("pbm"));
    }

    void decodeOptionsWrittenOnlyOnOk() {
        DecodeOptions options = StartOptions();
        options.faxWidth = 77;
        {
            DecodeOptionsDialog dialog(&options);
            QVERIFY(dialog.lineBox()->isChecked());
            dialog.lineBox()->setChecked(false);
            dialog.thumbnailBox()->setChecked(true);
            dialog.reject();
        }
        QCOMPARE(options.line, 1);
        QCOMPARE(options.jpegThumbnail, uint8_t{0});

        DecodeOptionsDialog dialog(&options);
        dialog.lineBox()->setChecked(false);
        dialog.thumbnailBox()->setChecked(true);
        dialog.resizeBox()->setChecked(true);
        dialog.accept();
        QCOMPARE(options.line, 0);
        QCOMPARE(options.jpegThumbnail, uint8_t{1});
        QCOMPARE(options.jp2Resize, 1);
        QCOMPARE(options.faxWidth, uint16_t{77});
        QCOMPARE(options.targetMode, 1);
    }

    void faxDefaultsButtonAndResolutionEnabling() {
        DecodeOptions options = StartOptions();
        FaxParametersDialog dialog(QStringLiteral("scan.mh"), &options);
        QVERIFY(dialog.resolutionList()->isEnabled());  // opens on A4

        dialog.paperList()->setCurrentIndex(kFaxB4);
        dialog.resolutionList()->setCurrentIndex(3);
        dialog.defaultsButton()->click();
        QCOMPARE(dialog.widthBox()->value(), 6144);
        QCOMPARE(dialog.lineBytesBox()->value(), 768);

        for (int paper = kFaxQvga; paper <= kFaxUxga; ++paper) {
            dialog.paperList()->setCurrentIndex(paper);
            QVERIFY(!dialog.resolutionList()->isEnabled());
        }
        dialog.paperList()->setCurrentIndex(kFaxQvga);
        dialog.defaultsButton()->click();
        QCOMPARE(dialog.widthBox()->value(), 320);
        QCOMPARE(dialog.lineBytesBox()->value(), 40);
        dialog.paperList()->setCurrentIndex(kFaxA3);
        QVERIFY(dialog.resolutionList()->isEnabled());

        // Typing a width leaves the line bytes to the user; only 既定値 derives them.
        dialog.widthBox()->setValue(1001);
        QCOMPARE(dialog.lineBytesBox()->value(), 40);
    }

    void faxPresetCancelAndOk() {
        DecodeOptions options = StartOptions();
        options.faxWidth = 1000;
        options.faxLineBytes = 130;
        options.faxBitOrder = 1;
        options.faxErrorFill = 2;
        options.faxCoding = 2;
        {
            FaxParametersDialog dialog(QStringLiteral("a.mmr"), &options);
            QCOMPARE(dialog.widthBox()->value(), 1000);
            QCOMPARE(dialog.lineBytesBox()->value(), 130);
            QCOMPARE(dialog.bitOrderList()->currentText(), QStringLiteral("LSB"));
            QCOMPARE(dialog.errorFillList()->currentText(), QStringLiteral("SKIP"));
            dialog.widthBox()->setValue(2000);
            dialog.reject();
        }
        QCOMPARE(options.faxWidth, uint16_t{1000});

        FaxParametersDialog dialog(QStringLiteral("a.mmr"), &options);
        dialog.widthBox()->setValue(32767);
        dialog.lineBytesBox()->setValue(4096);
        dialog.bitOrderList()->setCurrentIndex(0);
        dialog.errorFillList()->setCurrentIndex(1);
        dialog.accept();
        QCOMPARE(options.faxWidth, uint16_t{32767});
        QCOMPARE(options.faxLineBytes, uint32_t{4096});
        QCOMPARE(options.faxBitOrder, uint8_t{0});
        QCOMPARE(options.faxErrorFill, uint8_t{1});
        QCOMPARE(options.faxCoding, uint8_t{2});
    }

    void monoPaletteCancelAndOk() {
        DecodeOptions options = StartOptions();
        options.monoPaletteFormat = 1;
        for (bool ok : {false, true}) {
            MonoPaletteDialog dialog(&options);
            QCOMPARE(dialog.paletteFormat(), uint8_t{1});
            dialog.setPaletteFormat(0);
            ok ? dialog.accept() : dialog.reject();
        }
        QCOMPARE(options.monoPaletteFormat, uint8_t{0});
    }

    void rawLineBytesFollowModeAndWidth() {
        DecodeOptions options = StartOptions();
        options.rawMode = XR_MODE_RGB;
        options.rawWidth = 10;
        options.rawLineBytes = 999;  // padded lines: opening must not overwrite it
        RawParametersDialog dialog(QStringLiteral("pixels.raw"), &options);
        QCOMPARE(dialog.lineBytesBox()->value(), 999);

        dialog.widthBox()->setValue(11);
        QCOMPARE(dialog.lineBytesBox()->value(), 33);
        dialog.modeList()->setCurrentIndex(XR_MODE_MONO);
        QCOMPARE(dialog.lineBytesBox()->value(), 2);
        dialog.widthBox()->setValue(17);
        QCOMPARE(dialog.lineBytesBox()->value(), 3);
        dialog.modeList()->setCurrentIndex(XR_MODE_YUVW);
        QCOMPARE(dialog.lineBytesBox()->value(), 68);
        dialog.modeList()->setCurrentIndex(XR_MODE_UNK);
        QCOMPARE(dialog.lineBytesBox()->value(), 0);
        // Wider than the 16-bit field can say: held at its maximum.
        dialog.modeList()->setCurrentIndex(XR_MODE_RGBW);
        dialog.widthBox()->setValue(20000);
        QCOMPARE(dialog.lineBytesBox()->value(), 65535);
    }

    void rawFormatSign() {
        QCOMPARE(RawFormatFrom(0, true), int8_t{-8});  // signed without a depth: 8 bits
        DecodeOptions options = StartOptions();
        options.rawFormat = -12;
        RawParametersDialog dialog(QStringLiteral("pixels.raw"), &options);
        QCOMPARE(dialog.bitsList()->currentIndex(), 12);
        QVERIFY(dialog.signedBox()->isChecked());
        QCOMPARE(dialog.edited().rawFormat, int8_t{-12});
        dialog.signedBox()->setChecked(false);
        QCOMPARE(dialog.edited().rawFormat, int8_t{12});
    }

    void rawCancelAndOk() {
        DecodeOptions options = StartOptions();
        options.rawMode = XR_MODE_GRAYW;
        options.rawFormat = 12;
        options.rawWidth = 640;
        options.rawHeight = 480;
        options.rawLineBytes = 1280;
        {
            RawParametersDialog dialog(QStringLiteral("pixels.raw"), &options);
            QCOMPARE(dialog.modeList()->currentText(), QStringLiteral("XR_MODE_GRAYW"));
            dialog.modeList()->setCurrentIndex(XR_MODE_RGB);
            dialog.heightBox()->setValue(0);
            dialog.reject();
        }
        QCOMPARE(options.rawMode, int32_t{XR_MODE_GRAYW});
        QCOMPARE(options.rawHeight, uint16_t{480});

        RawParametersDialog dialog(QStringLiteral("pixels.raw"), &options);
        dialog.modeList()->setCurrentIndex(XR_MODE_INDEX);
        dialog.bitsList()->setCurrentIndex(0);
        dialog.signedBox()->setChecked(false);
        dialog.widthBox()->setValue(300);
        dialog.heightBox()->setValue(0);
        dialog.paletteFormatList()->setCurrentIndex(1);
        dialog.accept();
        QCOMPARE(options.rawMode, int32_t{XR_MODE_INDEX});
        QCOMPARE(options.rawFormat, int8_t{0});
        QCOMPARE(options.rawWidth, uint16_t{300});
        QCOMPARE(options.rawHeight, uint16_t{0});
        QCOMPARE(options.rawLineBytes, uint16_t{300});
        QCOMPARE(options.rawPaletteFormat, uint8_t{1});
    }
};

std::unique_ptr<QObject> MakeOpenDialogsTest() { return std::make_unique<OpenDialogsTest>(); }

#include "open_dialogs_test.moc"
