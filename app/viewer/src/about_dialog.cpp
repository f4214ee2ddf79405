#include "about_dialog.hpp"

#include <QDialogButtonBox>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Blue, underlined, with the hand cursor; a click opens the address.
QLabel* Link(const QString& text, const QUrl& url, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff;\">%2</a>")
                                 .arg(url.toString(QUrl::FullyEncoded), text.toHtmlEscaped()),
                             parent);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    label->setCursor(Qt::PointingHandCursor);
    label->setAlignment(Qt::AlignCenter);
    QObject::connect(label, &QLabel::linkActivated, label, [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    return label;
}

}  // namespace

QString AboutDialog::VersionText(const QString& version) {
    QStringList parts = version.split(QLatin1Char('.'));
    while (parts.size() < 4) parts << QStringLiteral("0");
    return QStringLiteral("Lumapix Ver. %1").arg(parts.mid(0, 4).join(QStringLiteral(". ")));
}

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent),
      web_(Link(QString::fromLatin1(kWebSite), QUrl(QString::fromLatin1(kWebSite)), this)),
      mail_(Link(QString::fromLatin1(kSupportMail), QUrl(QStringLiteral("mailto:") + QLatin1String(kSupportMail)), this)) {
    setWindowTitle(QStringLiteral("バージョン情報"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* banner = new QLabel(this);
    banner->setPixmap(QIcon(QStringLiteral(":/icons/lumapix.svg")).pixmap(96, 96));
    banner->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("<span style=\"font-size:20pt; font-weight:600;\">Lumapix</span>"), this);
    name->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(VersionText(QStringLiteral(LUMAPIX_VERSION)), this);
    version->setObjectName(QStringLiteral("version"));
    version->setAlignment(Qt::AlignCenter);
    auto* maker = new QLabel(QStringLiteral("QUILLBAY"), this);
    maker->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 12);
    for (QWidget* w : {static_cast<QWidget*>(banner), static_cast<QWidget*>(name), static_cast<QWidget*>(version),
                       static_cast<QWidget*>(maker), static_cast<QWidget*>(web_), static_cast<QWidget*>(mail_)})
        layout->addWidget(w);
    layout->addSpacing(8);
    layout->addWidget(buttons);
}
