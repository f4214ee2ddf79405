#include "viewer_questions.hpp"

#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "fax_parameters_dialog.hpp"
#include "format_choice_dialog.hpp"
#include "mono_palette_dialog.hpp"
#include "raw_parameters_dialog.hpp"

using lumapix::FaxParametersDialog;
using lumapix::FormatChoiceDialog;
using lumapix::MonoPaletteDialog;
using lumapix::RawParametersDialog;

bool ViewerQuestions::ChooseFormat(const std::string&, std::string* extension) {
    FormatChoiceDialog dialog(parent_);
    // Closing the window instead of OK leaves the file without a format.
    if (dialog.exec() != QDialog::Accepted) return false;
    *extension = dialog.extension().toStdString();
    return !extension->empty();
}

bool ViewerQuestions::EditFaxParameters(const std::string& fileName, DecodeOptions* options) {
    FaxParametersDialog dialog(QString::fromStdString(fileName), options, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool ViewerQuestions::EditMonoPaletteFormat(DecodeOptions* options) {
    MonoPaletteDialog dialog(options, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool ViewerQuestions::EditRawParameters(const std::string& fileName, DecodeOptions* options) {
    RawParametersDialog dialog(QString::fromStdString(fileName), options, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool ViewerQuestions::ConfirmConversion(int32_t) {
    return QMessageBox::question(parent_, QStringLiteral("LUMAPIX VIEWER"),
                                 QStringLiteral("画像フォーマットを変更して保存しますか？"),
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

void ViewerQuestions::Warn(const std::string& caption, const std::string& message) {
    QMessageBox::warning(parent_, QString::fromStdString(caption), QString::fromStdString(message));
}

void ViewerQuestions::PlayAudio(const std::string& path, int32_t audioType) {
    if (audioPlayer) {
        audioPlayer(path, audioType);
        return;
    }
    if (auto* frame = qobject_cast<QMainWindow*>(parent_))
        frame->statusBar()->showMessage(QStringLiteral("現バージョンでは未対応です: %1")
                                            .arg(QString::fromStdString(path)),
                                        5000);
}
