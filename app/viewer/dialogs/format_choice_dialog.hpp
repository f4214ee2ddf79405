// "フォーマット選択": asked when a file name gives no usable extension.
#ifndef LUMAPIX_VIEWER_FORMAT_CHOICE_DIALOG_HPP
#define LUMAPIX_VIEWER_FORMAT_CHOICE_DIALOG_HPP

#include <QDialog>
#include <QString>

class QComboBox;

namespace lumapix {

class FormatChoiceDialog : public QDialog {
    Q_OBJECT
public:
    // Opens on the choice last confirmed with OK while the program runs.
    explicit FormatChoiceDialog(QWidget* parent = nullptr);

    // The entry currently selected in the list, and the extension it stands for
    // (its first three characters).
    QString choice() const;
    QString extension() const;
    // Selects an entry of the list; false when it is not offered.
    bool setChoice(const QString& entry);

    // The entry the next dialog opens on.
    static QString rememberedChoice();

    void accept() override;

private:
    QComboBox* list_ = nullptr;
};

}  // namespace lumapix

#endif
