// The encoder pages that are only a few check boxes and radio buttons.
#ifndef LUMAPIX_VIEWER_ENC_PAGES_HPP
#define LUMAPIX_VIEWER_ENC_PAGES_HPP

#include "enc_page.hpp"

class QCheckBox;
class QRadioButton;

namespace lumapix {

// "LINE": whole-image or line-by-line encoder calls.
class CLineEncPage : public CEncPage {
    Q_OBJECT
public:
    explicit CLineEncPage(QWidget* parent = nullptr);
    QString title() const override;
    void load(const EncodeOptions& options) override;
    void store(EncodeOptions& options) const override;

    QCheckBox* lineBox() const { return line_; }

private:
    QCheckBox* line_ = nullptr;
};

// "PNM": ASCII (P1-P3) or binary (P4-P6) output.
class CPnmEncPage : public CEncPage {
    Q_OBJECT
public:
    explicit CPnmEncPage(QWidget* parent = nullptr);
    QString title() const override;
    void load(const EncodeOptions& options) override;
    void store(EncodeOptions& options) const override;

    QRadioButton* asciiButton() const { return ascii_; }
    QRadioButton* binaryButton() const { return binary_; }

private:
    QRadioButton* ascii_ = nullptr;
    QRadioButton* binary_ = nullptr;
};

// "TIFF": colour layout, kept in the options although no format row writes TIFF.
class CTiffEncPage : public CEncPage {
    Q_OBJECT
public:
    explicit CTiffEncPage(QWidget* parent = nullptr);
    QString title() const override;
    void load(const EncodeOptions& options) override;
    void store(EncodeOptions& options) const override;

    // 0 RGB, 1 YCbCr422, 2 YCbCr420.
    QRadioButton* colorButton(int color) const { return colors_[color]; }

private:
    QRadioButton* colors_[3] = {};
};

}  // namespace lumapix

#endif
