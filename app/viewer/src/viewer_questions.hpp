// The document's questions answered with the viewer's dialogs and message boxes.
#ifndef LUMAPIX_VIEWER_VIEWER_QUESTIONS_HPP
#define LUMAPIX_VIEWER_VIEWER_QUESTIONS_HPP

#include <functional>

#include "lumapix/document.h"

class QWidget;

class ViewerQuestions : public lumapix::DocumentQuestions {
public:
    explicit ViewerQuestions(QWidget* parent) : parent_(parent) {}

    bool ChooseFormat(const std::string& path, std::string* extension) override;
    bool EditFaxParameters(const std::string& fileName, DecodeOptions* options) override;
    bool EditMonoPaletteFormat(DecodeOptions* options) override;
    bool EditRawParameters(const std::string& fileName, DecodeOptions* options) override;
    bool ConfirmConversion(int32_t mode) override;
    void Warn(const std::string& caption, const std::string& message) override;
    void PlayAudio(const std::string& path, int32_t audioType) override;

    // Who takes audio files; without one the file's window just closes.
    std::function<void(const std::string&, int32_t)> audioPlayer;

private:
    QWidget* parent_;
};

#endif
