#include "core/SingleInstance.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace obu {

SingleInstance::SingleInstance(const QString& programFolder)
    : lock_(programFolder + QStringLiteral("obu.lock")) {
    // Socket names must be short; the folder's hash keeps copies in different folders apart.
    const QByteArray hash =
        QCryptographicHash::hash(programFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    serverName_ = QStringLiteral("obu-linekeeper-") + QString::fromLatin1(hash);
    lock_.setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
    lock_.unlock();
}

SingleInstance::Claim SingleInstance::acquire() {
    if (lock_.tryLock(0)) return Claim::Acquired;
    if (lock_.error() == QLockFile::PermissionError) return Claim::FolderNotWritable;
    // tryLock already removes a lock whose owner has died; one more try covers a race with it.
    if (lock_.error() == QLockFile::LockFailedError && lock_.removeStaleLockFile() && lock_.tryLock(0))
        return Claim::Acquired;
    return Claim::HeldByAnother;
}

bool SingleInstance::signalRunningCopy(int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    // The running copy may still be starting and not listening yet.
    while (elapsed.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(serverName_);
        if (socket.waitForConnected(500)) {
            socket.write("show\n");
            socket.waitForBytesWritten(1000);
            socket.waitForReadyRead(1000);
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

void SingleInstance::listen(std::function<void()> onActivate) {
    onActivate_ = std::move(onActivate);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a copy that died would block the name; we hold the lock, so it is stale.
    QLocalServer::removeServer(serverName_);
    if (!server_->listen(serverName_)) return;
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith("show") && onActivate_) onActivate_();
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

}  // namespace obu
