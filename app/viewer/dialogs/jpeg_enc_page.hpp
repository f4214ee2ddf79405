// "JPEG": quality, chroma sampling, application segment, colour space and thumbnail.
#ifndef LUMAPIX_VIEWER_JPEG_ENC_PAGE_HPP
#define LUMAPIX_VIEWER_JPEG_ENC_PAGE_HPP

#include "enc_page.hpp"

class QCheckBox;
class QComboBox;

namespace lumapix {

class ScrollEdit;

class CJpgEncPage : public CEncPage {
    Q_OBJECT
public:
    explicit CJpgEncPage(QWidget* parent = nullptr);
    QString title() const override;
    void load(const EncodeOptions& options) override;
    void store(EncodeOptions& options) const override;

    ScrollEdit* quality() const { return quality_; }
    QComboBox* subsampling() const { return subsampling_; }
    QComboBox* appMode() const { return appMode_; }
    QComboBox* colourSpace() const { return colourSpace_; }
    QCheckBox* thumbnail() const { return thumbnail_; }

private:
    ScrollEdit* quality_ = nullptr;
    QComboBox* subsampling_ = nullptr;
    QComboBox* appMode_ = nullptr;
    QComboBox* colourSpace_ = nullptr;
    QCheckBox* thumbnail_ = nullptr;
};

}  // namespace lumapix

#endif
