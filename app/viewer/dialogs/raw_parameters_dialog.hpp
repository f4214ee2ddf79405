// "RAW画像情報設定": the geometry and sample format of headerless pixel data.
#ifndef LUMAPIX_VIEWER_RAW_PARAMETERS_DIALOG_HPP
#define LUMAPIX_VIEWER_RAW_PARAMETERS_DIALOG_HPP

#include <cstdint>

#include <QDialog>
#include <QString>

#include "lumapix/options.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace lumapix {

// rawFormat from the "ビット" list index (0 stands for 8 bits) and "Signed".
int8_t RawFormatFrom(int bitsIndex, bool isSigned);

class RawParametersDialog : public QDialog {
    Q_OBJECT
public:
    // options must outlive the dialog; rawMode, rawFormat, rawWidth, rawHeight,
    // rawLineBytes and rawPaletteFormat change only on OK.
    RawParametersDialog(const QString& fileName, DecodeOptions* options, QWidget* parent = nullptr);

    // The block as OK would leave it.
    DecodeOptions edited() const;

    QComboBox* modeList() const { return mode_; }
    QComboBox* bitsList() const { return bits_; }
    QCheckBox* signedBox() const { return signed_; }
    QSpinBox* widthBox() const { return width_; }
    QSpinBox* heightBox() const { return height_; }
    QSpinBox* lineBytesBox() const { return lineBytes_; }
    QComboBox* paletteFormatList() const { return paletteFormat_; }

    void accept() override;

private:
    void refillLineBytes();

    DecodeOptions* options_;
    QComboBox* mode_ = nullptr;
    QComboBox* bits_ = nullptr;
    QCheckBox* signed_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QSpinBox* lineBytes_ = nullptr;
    QComboBox* paletteFormat_ = nullptr;
};

}  // namespace lumapix

#endif
