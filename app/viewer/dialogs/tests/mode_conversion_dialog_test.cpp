// "画像モード変換": preselection, enabling rules and the scroll-bar edit boxes.
#include <array>
#include <cstring>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "lumapix/pixel_formulas.h"
#include "mode_conversion_dialog.hpp"
#include "scroll_edit.hpp"
#include "test_suites.hpp"

using namespace lumapix;

namespace {

XrImage Header(int32_t mode, uint8_t palfmt = 0) {
    XrImage image{};
    image.MODE = mode;
    image.WIDTH = 4;
    image.HEIGHT = 4;
    image.PALFMT = palfmt;
    return image;
}

}  // namespace

class ModeConversionDialogTest : public QObject {
    Q_OBJECT
private slots:
    void preselectsFromTheImage() {
        std::array<uint8_t, 256 * 4> palette{};
        for (size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<uint8_t>(i * 7);
        XrImage indexed = Header(XR_MODE_INDEX, 1);
        indexed.PALBUT = palette.data();
        indexed.PALCOUNT = 256;
        ModeConversionDialog fromIndex(indexed);
        QCOMPARE(fromIndex.mode(), int32_t{XR_MODE_INDEX});
        QCOMPARE(fromIndex.monoPaletteFormat(), uint8_t{1});
        QCOMPARE(fromIndex.ditherMode(), 0);
        QCOMPARE(fromIndex.coefficient(), 0);
        QCOMPARE(fromIndex.threshold(), 128);
        QVERIFY(fromIndex.userPalette() == palette);
        QVERIFY(!fromIndex.userPaletteChosen());
        QCOMPARE(fromIndex.paletteArgument(), nullptr);
        fromIndex.setUserPaletteChosen(true);
        QCOMPARE(fromIndex.paletteArgument(), fromIndex.userPalette().data());

        ModeConversionDialog fromRgb(Header(XR_MODE_RGB));
        QCOMPARE(fromRgb.monoPaletteFormat(), uint8_t{0});
        QVERIFY(std::memcmp(fromRgb.userPalette().data(), SystemPalette, 256 * 4) == 0);

        // A mode without a radio: nothing chosen, nothing to confirm.
        ModeConversionDialog fromPlanar(Header(XR_MODE_YUV_PLANAR));
        QCOMPARE(fromPlanar.mode(), 0);
        QPushButton* ok = fromPlanar.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QVERIFY(!ok->isEnabled());
        fromPlanar.setMode(XR_MODE_GRAY);
        QCOMPARE(fromPlanar.mode(), int32_t{XR_MODE_GRAY});
        QVERIFY(ok->isEnabled());
    }

    void enablingRules_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("dither");
        QTest::addColumn<bool>("ditherList");
        QTest::addColumn<bool>("palette");
        QTest::addColumn<bool>("coefficient");
        QTest::addColumn<bool>("threshold");
        QTest::newRow("RGB") << int{XR_MODE_RGB} << 2 << false << false << false << false;
        QTest::newRow("GRAYW") << int{XR_MODE_GRAYW} << 3 << false << false << false << false;
        QTest::newRow("YUVW") << int{XR_MODE_YUVW} << 0 << false << false << false << false;
        QTest::newRow("INDEX 0 LINE") << int{XR_MODE_INDEX} << 0 << true << true << false << false;
        QTest::newRow("INDEX 2 LINE") << int{XR_MODE_INDEX} << 2 << true << true << true << false;
        QTest::newRow("MONO 0 LINE") << int{XR_MODE_MONO} << 0 << true << false << false << true;
        QTest::newRow("MONO 4x4") << int{XR_MODE_MONO} << 5 << true << false << true << true;
        QTest::newRow("LAB 1 LINE") << int{XR_MODE_LAB} << 1 << true << false << false << false;
        QTest::newRow("HIGH") << int{XR_MODE_HIGH} << 0 << true << false << false << false;
    }

    void enablingRules() {
        QFETCH(int, mode);
        QFETCH(int, dither);
        // Start from another mode so the rules are re-evaluated on change, not only on opening.
        ModeConversionDialog dialog(Header(mode == XR_MODE_MONO ? XR_MODE_RGB : XR_MODE_MONO));
        dialog.setDitherMode(dither);
        dialog.setMode(mode);
        QTEST(dialog.ditherList()->isEnabled(), "ditherList");
        QTEST(dialog.paletteChoice()->isEnabled(), "palette");
        QTEST(dialog.coefficientEdit()->isEnabled(), "coefficient");
        QTEST(dialog.thresholdEdit()->isEnabled(), "threshold");
    }

    void coefficientFollowsDitherChoice() {
        ModeConversionDialog dialog(Header(XR_MODE_INDEX));
        QVERIFY(!dialog.coefficientEdit()->isEnabled());
        dialog.ditherList()->setCurrentIndex(1);
        QVERIFY(dialog.coefficientEdit()->isEnabled());
        dialog.ditherList()->setCurrentIndex(0);
        QVERIFY(!dialog.coefficientEdit()->isEnabled());
    }

    void scrollEditClampsAndMirrors() {
        ScrollEdit edit(-128, 127, 0);
        QScrollBar* bar = edit.scrollBar();
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(edit.value(), 1);
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(edit.value(), -9);
        QCOMPARE(edit.edit()->text(), QStringLiteral("-9"));

        edit.edit()->clear();
        QTest::keyClicks(edit.edit(), QStringLiteral("300"));
        QCOMPARE(edit.value(), 127);
        QCOMPARE(edit.edit()->text(), QStringLiteral("300"));  // not rewritten mid-typing
        QTest::keyClick(edit.edit(), Qt::Key_Return);
        QCOMPARE(edit.edit()->text(), QStringLiteral("127"));

        edit.edit()->clear();
        QTest::keyClicks(edit.edit(), QStringLiteral("-5000"));  // validator stops at four digits
        QCOMPARE(edit.value(), -128);
        edit.edit()->clear();
        QTest::keyClicks(edit.edit(), QStringLiteral("-"));
        QCOMPARE(edit.value(), -128);
        edit.commitEdit();
        QCOMPARE(edit.edit()->text(), QStringLiteral("-128"));

        QTest::keyClicks(edit.edit(), QStringLiteral("x"));  // refused by the validator
        QCOMPARE(edit.edit()->text(), QStringLiteral("-128"));
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(edit.value(), -128);
    }

    void dialogValuesAreClamped() {
        ModeConversionDialog dialog(Header(XR_MODE_MONO));
        dialog.setThreshold(400);
        QCOMPARE(dialog.threshold(), 255);
        dialog.setCoefficient(-500);
        QCOMPARE(dialog.coefficient(), -128);

        QLineEdit* box = dialog.thresholdEdit()->edit();
        box->clear();
        QTest::keyClicks(box, QStringLiteral("-7"));
        dialog.accept();
        QCOMPARE(dialog.threshold(), 0);
        QCOMPARE(box->text(), QStringLiteral("0"));
    }
};

std::unique_ptr<QObject> MakeModeConversionDialogTest() { return std::make_unique<ModeConversionDialogTest>(); }

#include "mode_conversion_dialog_test.moc"
