// The About box: banner, version and the maker's web and mail links.
#ifndef LUMAPIX_VIEWER_ABOUT_DIALOG_HPP
#define LUMAPIX_VIEWER_ABOUT_DIALOG_HPP

#include <QDialog>

class QLabel;

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kWebSite = "https://www.quillbay.example/lumapix/";
    static constexpr const char* kSupportMail = "support@quillbay.example";

    explicit AboutDialog(QWidget* parent = nullptr);
    // "Lumapix Ver. 3. 0. 1. 0" from a dotted version.
    static QString VersionText(const QString& version);
    QLabel* webLink() const { return web_; }
    QLabel* mailLink() const { return mail_; }

private:
    QLabel* web_;
    QLabel* mail_;
};

#endif
