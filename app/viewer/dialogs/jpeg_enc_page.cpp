#include "jpeg_enc_page.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "lumapix/xr_memory.h"
#include "scroll_edit.hpp"

namespace lumapix {

namespace {

// Combo index 0..4 against the application mode: DCF and EXIF sit either side of the unused 2.
constexpr uint8_t kAppModes[] = {0, 1, 3, 4, 5};

QComboBox* Combo(QWidget* parent, std::initializer_list<const char*> texts) {
    auto* combo = new QComboBox(parent);
    for (const char* text : texts) combo->addItem(QString::fromLatin1(text));
    return combo;
}

}  // namespace

CJpgEncPage::CJpgEncPage(QWidget* parent) : CEncPage(parent) {
    quality_ = new ScrollEdit(1, 100, 80, this);
    subsampling_ = Combo(this, {"YCbCr411", "YCbCr422", "YCbCr444"});
    appMode_ = Combo(this, {"NOTHING", "JFIF", "EXIF", "DCF", "G3FAX"});
    colourSpace_ = Combo(this, {"YCbCr", "GRAY", "LAB", "CMYK", "YCCK"});
    thumbnail_ = new QCheckBox(QStringLiteral("サムネイル画像を付加する"), this);

    auto* layout = new QVBoxLayout(this);
    layout->setAlignment(Qt::AlignTop);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Quality"), quality_);
    form->addRow(QStringLiteral("Sampling"), subsampling_);
    form->addRow(QStringLiteral("Application"), appMode_);
    form->addRow(QStringLiteral("Color space"), colourSpace_);
    layout->addLayout(form);
    layout->addWidget(thumbnail_);
}

QString CJpgEncPage::title() const { return QStringLiteral("JPEG"); }

void CJpgEncPage::load(const EncodeOptions& options) {
    quality_->setValue(options.jpegQuality);
    subsampling_->setCurrentIndex(options.jpegSubsampling <= 2 ? options.jpegSubsampling : 0);
    int app = 0;
    for (int i = 0; i < 5; ++i)
        if (kAppModes[i] == options.jpegAppMode) app = i;
    appMode_->setCurrentIndex(app);
    colourSpace_->setCurrentIndex(options.jpegColorSpace <= 4 ? options.jpegColorSpace : 0);
    thumbnail_->setChecked(options.jpegThumbnail != 0);
}

void CJpgEncPage::store(EncodeOptions& options) const {
    quality_->commitEdit();
    options.jpegQuality = static_cast<uint8_t>(quality_->value());
    options.jpegSubsampling = static_cast<uint8_t>(subsampling_->currentIndex());
    options.jpegAppMode = kAppModes[appMode_->currentIndex()];
    options.jpegColorSpace = static_cast<uint8_t>(colourSpace_->currentIndex());
    options.jpegThumbnail = thumbnail_->isChecked() ? 1 : 0;
    XrLogPrint(" jpg_appmode = %d\n jpg_colorspace = %d\n jpg_quality = %d jpg_thmnail = %d", options.jpegAppMode,
               options.jpegColorSpace, options.jpegQuality, options.jpegThumbnail);
}

}  // namespace lumapix
