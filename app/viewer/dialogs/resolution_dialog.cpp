#include "resolution_dialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "scroll_edit.hpp"

namespace lumapix {
namespace {

constexpr int kMaxSide = 32767;
constexpr int kBicubic = 2;

QSpinBox* SizeBox(int value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(1, kMaxSide);
    box->setValue(value);
    box->setSuffix(QStringLiteral(" [Pixel]"));
    return box;
}

// Integer scaling kept within the allowed sides.
int Scaled(int value, int numerator, int denominator) {
    if (denominator <= 0) return value;
    int64_t v = static_cast<int64_t>(value) * numerator / denominator;
    return static_cast<int>(std::clamp<int64_t>(v, 1, kMaxSide));
}

}  // namespace

ResolutionDialog::ResolutionDialog(int currentWidth, int currentHeight, QWidget* parent)
    : QDialog(parent), currentWidth_(currentWidth), currentHeight_(currentHeight) {
    setWindowTitle(QStringLiteral("解像度変換"));
    current_ = new QLabel(QString::asprintf("%d x %d", currentWidth, currentHeight), this);
    width_ = SizeBox(std::clamp(currentWidth, 1, kMaxSide), this);
    height_ = SizeBox(std::clamp(currentHeight, 1, kMaxSide), this);
    keepAspect_ = new QCheckBox(QStringLiteral("縦横比を保存する"), this);
    keepAspect_->setChecked(true);
    method_ = new QComboBox(this);
    method_->addItems({QStringLiteral("最近傍法"), QStringLiteral("バイリニア法"), QStringLiteral("バイキュービック法")});
    sharpness_ = new ScrollEdit(-128, 127, 0, this);
    sharpness_->setEnabled(false);
    line_ = new QCheckBox(QStringLiteral("LINE"), this);
    line_->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("現在のサイズ"), current_);
    form->addRow(QStringLiteral("幅"), width_);
    form->addRow(QStringLiteral("高さ"), height_);
    form->addRow(QString(), keepAspect_);
    form->addRow(QStringLiteral("サンプリング"), method_);
    form->addRow(QStringLiteral("シャープネス"), sharpness_);
    form->addRow(QString(), line_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        sharpness_->commitEdit();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(width_, &QSpinBox::valueChanged, this, &ResolutionDialog::WidthChanged);
    connect(height_, &QSpinBox::valueChanged, this, &ResolutionDialog::HeightChanged);
    connect(method_, &QComboBox::currentIndexChanged, this,
            [this](int index) { sharpness_->setEnabled(index == kBicubic); });
}

void ResolutionDialog::WidthChanged(int width) {
    if (following_ || !keepAspect_->isChecked()) return;
    following_ = true;
    height_->setValue(Scaled(width, currentHeight_, currentWidth_));
    following_ = false;
}

void ResolutionDialog::HeightChanged(int height) {
    if (following_ || !keepAspect_->isChecked()) return;
    following_ = true;
    width_->setValue(Scaled(height, currentWidth_, currentHeight_));
    following_ = false;
}

int ResolutionDialog::newWidth() const { return width_->value(); }
int ResolutionDialog::newHeight() const { return height_->value(); }
int32_t ResolutionDialog::method() const { return method_->currentIndex(); }
int32_t ResolutionDialog::sharpness() const { return sharpness_->value(); }
bool ResolutionDialog::lineByLine() const { return line_->isChecked(); }

}  // namespace lumapix
