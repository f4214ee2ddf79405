// "画像モード変換": picks the target mode and the quantisation settings. The
// dialog converts nothing; its caller passes the choices to ConvertImageMode.
#ifndef LUMAPIX_VIEWER_MODE_CONVERSION_DIALOG_HPP
#define LUMAPIX_VIEWER_MODE_CONVERSION_DIALOG_HPP

#include <array>
#include <cstdint>

#include <QDialog>

#include "lumapix/xr_image.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace lumapix {

class ScrollEdit;

class ModeConversionDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPaletteBytes = 256 * 4;  // blue, green, red, 0
    using Palette = std::array<uint8_t, kPaletteBytes>;

    // Preselects the image's mode and PALFMT; the image is only read here.
    explicit ModeConversionDialog(const XrImage& image, QWidget* parent = nullptr);

    // Target mode 1..10; 0 while none is chosen (the image's own mode is not one of them).
    int32_t mode() const;
    // 0 "0 LINE" .. 7 "16x16 Pattern".
    int32_t ditherMode() const;
    int32_t coefficient() const;  // -128..127
    int32_t threshold() const;    // 0..255
    bool userPaletteChosen() const;
    const Palette& userPalette() const { return userPalette_; }
    // The palette argument of ConvertImageMode: the user palette when chosen, else null.
    const uint8_t* paletteArgument() const;
    uint8_t monoPaletteFormat() const;

    void setMode(int32_t mode);
    void setDitherMode(int32_t ditherMode);
    void setCoefficient(int32_t coefficient);
    void setThreshold(int32_t threshold);
    void setUserPaletteChosen(bool chosen);
    void setMonoPaletteFormat(uint8_t format);

    QComboBox* ditherList() const { return dither_; }
    ScrollEdit* coefficientEdit() const { return coefficient_; }
    ScrollEdit* thresholdEdit() const { return threshold_; }
    QGroupBox* paletteChoice() const { return paletteBox_; }

    void accept() override;

private:
    void updateEnabled();

    QButtonGroup* modes_ = nullptr;
    QButtonGroup* monoFormats_ = nullptr;
    QComboBox* dither_ = nullptr;
    ScrollEdit* coefficient_ = nullptr;
    ScrollEdit* threshold_ = nullptr;
    QGroupBox* ditherBox_ = nullptr;
    QGroupBox* coefficientBox_ = nullptr;
    QGroupBox* thresholdBox_ = nullptr;
    QGroupBox* paletteBox_ = nullptr;
    QRadioButton* systemPalette_ = nullptr;
    QRadioButton* userPaletteButton_ = nullptr;
    QPushButton* ok_ = nullptr;
    Palette userPalette_{};
};

}  // namespace lumapix

#endif
