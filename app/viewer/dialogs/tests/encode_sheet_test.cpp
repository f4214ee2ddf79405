// The "エンコードオプション" sheet: every page's fields survive a round trip.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "enc_pages.hpp"
#include "file_enc_dlg.hpp"
#include "jpeg_enc_page.hpp"
#include "scroll_edit.hpp"
#include "test_suites.hpp"

using namespace lumapix;

class EncodeSheetTest : public QObject {
    Q_OBJECT
private slots:
    void pagesShowTheBlock() {
        EncodeOptions options;
        EncodeOptionsDefaults(&options);
        options.pnmBinary = 5;  // any nonzero word means binary
        options.tiffColor = 2;
        CFileEncDlg dialog(&options);
        QCOMPARE(dialog.tabs()->count(), dialog.pageCount());
        QCOMPARE(dialog.tabs()->tabText(0), QStringLiteral("LINE"));

        auto* line = qobject_cast<CLineEncPage*>(dialog.page(QStringLiteral("LINE")));
        auto* pnm = qobject_cast<CPnmEncPage*>(dialog.page(QStringLiteral("PNM")));
        auto* tiff = qobject_cast<CTiffEncPage*>(dialog.page(QStringLiteral("TIFF")));
        QVERIFY(line && pnm && tiff);
        QVERIFY(line->lineBox()->isChecked());
        QVERIFY(pnm->binaryButton()->isChecked());
        QVERIFY(tiff->colorButton(2)->isChecked());
        QCOMPARE(dialog.edited().pnmBinary, 1);

        auto* jpeg = qobject_cast<CJpgEncPage*>(dialog.page(QStringLiteral("JPEG")));
        QVERIFY(jpeg);
        QCOMPARE(dialog.tabs()->tabText(1), QStringLiteral("JPEG"));
        QCOMPARE(jpeg->quality()->value(), 80);
        QCOMPARE(jpeg->quality()->edit()->text(), QStringLiteral("80"));
        QCOMPARE(jpeg->quality()->scrollBar()->pageStep(), 10);
        QCOMPARE(jpeg->appMode()->itemText(2), QStringLiteral("EXIF"));
        QCOMPARE(jpeg->subsampling()->itemText(0), QStringLiteral("YCbCr411"));
        QCOMPARE(jpeg->colourSpace()->itemText(4), QStringLiteral("YCCK"));
        QVERIFY(!jpeg->thumbnail()->isChecked());
    }

    // The application combo's index 2 is EXIF, mode 3; DCF is 4 on both sides.
    void jpegPageMapsItsCombos() {
        EncodeOptions options;
        EncodeOptionsDefaults(&options);
        options.jpegAppMode = 4;
        options.jpegColorSpace = 3;
        options.jpegSubsampling = 1;
        options.jpegThumbnail = 1;
        CFileEncDlg dialog(&options);
        auto* jpeg = qobject_cast<CJpgEncPage*>(dialog.page(QStringLiteral("JPEG")));
        QCOMPARE(jpeg->appMode()->currentText(), QStringLiteral("DCF"));
        QCOMPARE(jpeg->colourSpace()->currentText(), QStringLiteral("CMYK"));
        QCOMPARE(jpeg->subsampling()->currentText(), QStringLiteral("YCbCr422"));
        QVERIFY(jpeg->thumbnail()->isChecked());
        jpeg->appMode()->setCurrentIndex(2);
        jpeg->quality()->edit()->clear();
        QTest::keyClicks(jpeg->quality()->edit(), QStringLiteral("250"));  // past the range: the bar stops at 100
        dialog.accept();
        QCOMPARE(options.jpegAppMode, uint8_t{3});
        QCOMPARE(options.jpegQuality, uint8_t{100});
        QCOMPARE(options.jpegColorSpace, uint8_t{3});
    }

    void cancelKeepsOkWrites() {
        EncodeOptions options;
        EncodeOptionsDefaults(&options);
        options.faxCoding = 2;
        auto edit = [](CFileEncDlg& dialog) {
            qobject_cast<CLineEncPage*>(dialog.page(QStringLiteral("LINE")))->lineBox()->setChecked(false);
            qobject_cast<CPnmEncPage*>(dialog.page(QStringLiteral("PNM")))->binaryButton()->setChecked(true);
            qobject_cast<CTiffEncPage*>(dialog.page(QStringLiteral("TIFF")))->colorButton(1)->setChecked(true);
        };
        {
            CFileEncDlg dialog(&options);
            edit(dialog);
            dialog.reject();
        }
        QCOMPARE(options.line, 1);
        QCOMPARE(options.pnmBinary, 0);
        QCOMPARE(options.tiffColor, 0);

        CFileEncDlg dialog(&options);
        edit(dialog);
        dialog.accept();
        QCOMPARE(options.line, 0);
        QCOMPARE(options.pnmBinary, 1);
        QCOMPARE(options.tiffColor, 1);
        QCOMPARE(options.faxCoding, uint8_t{2});  // no page owns it
    }
};

std::unique_ptr<QObject> MakeEncodeSheetTest() { return std::make_unique<EncodeSheetTest>(); }

#include "encode_sheet_test.moc"
