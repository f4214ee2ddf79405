// The "エンコードオプション" sheet: every page's fields survive a round trip.
#include <QCheckBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "enc_pages.hpp"
#include "file_enc_dlg.hpp"
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
