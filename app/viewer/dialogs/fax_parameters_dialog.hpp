// "MHR画像情報設定": geometry and error handling for MH, MR and MMR streams,
// which carry no header of their own.
#ifndef LUMAPIX_VIEWER_FAX_PARAMETERS_DIALOG_HPP
#define LUMAPIX_VIEWER_FAX_PARAMETERS_DIALOG_HPP

#include <cstdint>

#include <QDialog>
#include <QString>

#include "lumapix/options.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace lumapix {

// Entries of the "フォーマット" list, in list order.
enum FaxPaper : int { kFaxA4, kFaxB4, kFaxA3, kFaxQvga, kFaxVga, kFaxXga, kFaxSxga, kFaxUxga, kFaxPaperCount };
// Entries of the "解像度" list: 200, 300, 400 and 600 dpi.
constexpr int kFaxResolutionCount = 4;

// Line width in pixels for a paper at a resolution index; screen sizes ignore the
// resolution. 0 for an index outside the lists.
uint16_t FaxDefaultWidth(int paper, int resolution);
// Only the paper sizes come in several resolutions.
bool FaxPaperHasResolution(int paper);

class FaxParametersDialog : public QDialog {
    Q_OBJECT
public:
    // options must outlive the dialog; faxWidth, faxLineBytes, faxBitOrder and
    // faxErrorFill change only on OK.
    FaxParametersDialog(const QString& fileName, DecodeOptions* options, QWidget* parent = nullptr);

    // The block as OK would leave it.
    DecodeOptions edited() const;

    QSpinBox* widthBox() const { return width_; }
    QSpinBox* lineBytesBox() const { return lineBytes_; }
    QComboBox* bitOrderList() const { return bitOrder_; }
    QComboBox* errorFillList() const { return errorFill_; }
    QComboBox* paperList() const { return paper_; }
    QComboBox* resolutionList() const { return resolution_; }
    QPushButton* defaultsButton() const { return defaults_; }

    // What "既定値" does: width from the paper and resolution lists, line bytes from the width.
    void applyDefaults();

    void accept() override;

private:
    void updateResolutionEnabled();

    DecodeOptions* options_;
    QSpinBox* width_ = nullptr;
    QSpinBox* lineBytes_ = nullptr;
    QComboBox* bitOrder_ = nullptr;
    QComboBox* errorFill_ = nullptr;
    QComboBox* paper_ = nullptr;
    QComboBox* resolution_ = nullptr;
    QPushButton* defaults_ = nullptr;
};

}  // namespace lumapix

#endif
