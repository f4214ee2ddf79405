#include "single_instance.hpp"

#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 1500;

}  // namespace

QString SingleInstance::DefaultName() { return QStringLiteral("lumapix-viewer-%1").arg(getuid()); }

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

bool SingleInstance::ForwardToRunning(const QStringList& files) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kWaitMs)) return false;
    // One path per line, then an empty line: the viewer opens them in order.
    QByteArray message;
    for (const QString& file : files) message += file.toUtf8() + '\n';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(kWaitMs)) return false;
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // A viewer that died leaves its socket file behind; nobody answered it.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
                *buffer += socket->readAll();
                if (!buffer->endsWith("\n\n") && *buffer != "\n") return;
                QStringList files;
                for (const QByteArray& line : buffer->split('\n'))
                    if (!line.isEmpty()) files << QString::fromUtf8(line);
                buffer->clear();
                emit filesReceived(files);
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}
