// One viewer per user: a second start hands its files to the running viewer
// over a local socket and leaves.
#ifndef LUMAPIX_VIEWER_SINGLE_INSTANCE_HPP
#define LUMAPIX_VIEWER_SINGLE_INSTANCE_HPP

#include <QObject>
#include <QStringList>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The socket name for this user.
    static QString DefaultName();

    explicit SingleInstance(QString name, QObject* parent = nullptr);

    // Sends the files (absolute paths) to a running viewer; false when none answers.
    bool ForwardToRunning(const QStringList& files) const;
    // Becomes the running viewer; false when the name cannot be taken.
    bool Listen();

signals:
    // A later start asked for these files (possibly none: it only wants the window raised).
    void filesReceived(const QStringList& files);

private:
    QString name_;
    QLocalServer* server_ = nullptr;
};

#endif
