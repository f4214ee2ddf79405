#include "fax_parameters_dialog.hpp"

#include <algorithm>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lumapix {

namespace {

constexpr uint16_t kPaperWidths[3][kFaxResolutionCount] = {
    {1728, 2592, 3456, 5184},  // A4
    {2048, 3072, 4096, 6144},  // B4
    {2432, 3648, 4864, 7296},  // A3
};
constexpr uint16_t kScreenWidths[] = {320, 640, 1024, 1280, 1600};  // QVGA .. UXGA

constexpr int kMaxWidth = 32767;
constexpr int kMaxLineBytes = 65535;

}  // namespace

bool FaxPaperHasResolution(int paper) { return paper >= kFaxA4 && paper <= kFaxA3; }

uint16_t FaxDefaultWidth(int paper, int resolution) {
    if (FaxPaperHasResolution(paper)) {
        if (resolution < 0 || resolution >= kFaxResolutionCount) return 0;
        return kPaperWidths[paper][resolution];
    }
    if (paper >= kFaxQvga && paper < kFaxPaperCount) return kScreenWidths[paper - kFaxQvga];
    return 0;
}

FaxParametersDialog::FaxParametersDialog(const QString& fileName, DecodeOptions* options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("MHR画像情報設定"));

    auto* name = new QLabel(fileName, this);
    name->setObjectName(QStringLiteral("fileName"));

    width_ = new QSpinBox(this);
    width_->setRange(1, kMaxWidth);
    width_->setValue(options->faxWidth);
    lineBytes_ = new QSpinBox(this);
    lineBytes_->setRange(0, kMaxLineBytes);
    lineBytes_->setValue(static_cast<int>(std::min<uint32_t>(options->faxLineBytes, kMaxLineBytes)));
    bitOrder_ = new QComboBox(this);
    bitOrder_->addItems({QStringLiteral("MSB"), QStringLiteral("LSB")});
    bitOrder_->setCurrentIndex(options->faxBitOrder == 1 ? 1 : 0);
    errorFill_ = new QComboBox(this);
    errorFill_->addItems({QStringLiteral("PREV"), QStringLiteral("WHITE"), QStringLiteral("SKIP")});
    errorFill_->setCurrentIndex(options->faxErrorFill <= 2 ? options->faxErrorFill : 0);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("幅"), width_);
    form->addRow(QStringLiteral("ラインバイト"), lineBytes_);
    form->addRow(QStringLiteral("ビットオーダー"), bitOrder_);
    form->addRow(QStringLiteral("エラー補完"), errorFill_);

    paper_ = new QComboBox(this);
    paper_->addItems({QStringLiteral("A4"), QStringLiteral("B4"), QStringLiteral("A3"), QStringLiteral("QVGA"),
                      QStringLiteral("VGA"), QStringLiteral("XGA"), QStringLiteral("SXGA"), QStringLiteral("UXGA")});
    resolution_ = new QComboBox(this);
    resolution_->addItems(
        {QStringLiteral("200 dpi"), QStringLiteral("300 dpi"), QStringLiteral("400 dpi"), QStringLiteral("600 dpi")});
    defaults_ = new QPushButton(QStringLiteral("既定値"), this);
    defaults_->setAutoDefault(false);

    auto* presets = new QGroupBox(this);
    auto* presetForm = new QFormLayout;
    presetForm->addRow(QStringLiteral("フォーマット"), paper_);
    presetForm->addRow(QStringLiteral("解像度"), resolution_);
    auto* presetLayout = new QHBoxLayout(presets);
    presetLayout->addLayout(presetForm);
    presetLayout->addWidget(defaults_, 0, Qt::AlignBottom);

    connect(paper_, &QComboBox::currentIndexChanged, this, &FaxParametersDialog::updateResolutionEnabled);
    connect(defaults_, &QPushButton::clicked, this, &FaxParametersDialog::applyDefaults);
    updateResolutionEnabled();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addLayout(form);
    layout->addWidget(presets);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FaxParametersDialog::updateResolutionEnabled() {
    resolution_->setEnabled(FaxPaperHasResolution(paper_->currentIndex()));
}

void FaxParametersDialog::applyDefaults() {
    uint16_t width = FaxDefaultWidth(paper_->currentIndex(), resolution_->currentIndex());
    if (width == 0) return;
    width_->setValue(width);
    lineBytes_->setValue((width + 7) / 8);
}

DecodeOptions FaxParametersDialog::edited() const {
    DecodeOptions result = *options_;
    result.faxWidth = static_cast<uint16_t>(width_->value());
    result.faxLineBytes = static_cast<uint32_t>(lineBytes_->value());
    result.faxBitOrder = static_cast<uint8_t>(bitOrder_->currentIndex());
    result.faxErrorFill = static_cast<uint8_t>(errorFill_->currentIndex());
    return result;
}

void FaxParametersDialog::accept() {
    *options_ = edited();
    QDialog::accept();
}

}  // namespace lumapix
