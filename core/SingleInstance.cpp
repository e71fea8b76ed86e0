#include "core/SingleInstance.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace obu {

namespace {

// QLockFile does not say why it could not write its file: try a file of the
// same size in the same folder and report what stops it ("No space left on device").
QString whyNoFileCanBeWritten(const QString& lockPath) {
    const QByteArray probe =
        QFile::encodeName(lockPath) + ".probe-" + QByteArray::number(::getpid());
    const int fd =
        ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    const char bytes[256] = {};
    const bool written = ::write(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
    const int err = errno;
    ::close(fd);
    ::unlink(probe.constData());
    return written ? QStringLiteral("unknown error") : QString::fromLocal8Bit(std::strerror(err));
}

bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder)
    : lockPath_(folder + QStringLiteral("obu.lock")), lock_(lockPath_) {
    // Socket names must be short; the folder's hash keeps copies in different folders apart.
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    serverName_ = QStringLiteral("obu-linekeeper-") + QString::fromLatin1(hash);
    lock_.setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
    lock_.unlock();
}

SingleInstance::Claim SingleInstance::acquire() {
    if (lock_.tryLock(0)) return Claim::Acquired;
    switch (lock_.error()) {
        case QLockFile::LockFailedError:
            break;
        case QLockFile::PermissionError:
            unguardedReason_ =
                QStringLiteral("no lock file can be made in the folder of %1").arg(lockPath_);
            return Claim::Unguarded;
        default:
            unguardedReason_ = QStringLiteral("the lock file %1 cannot be made (%2)")
                                   .arg(lockPath_, whyNoFileCanBeWritten(lockPath_));
            return Claim::Unguarded;
    }
    // tryLock already removes a lock whose owner has died; one more try covers a race with it.
    if (lock_.removeStaleLockFile() && lock_.tryLock(0)) return Claim::Acquired;
    // A copy that has just made the file may not have written its number yet.
    for (int attempt = 0; attempt < 10; ++attempt) {
        qint64 pid = 0;
        QString host, application;
        if (lock_.getLockInfo(&pid, &host, &application)) {
            if (processAlive(pid)) return Claim::HeldByAnother;
            if (lock_.removeStaleLockFile() && lock_.tryLock(0)) return Claim::Acquired;
        } else if (lock_.tryLock(0)) {
            return Claim::Acquired;
        }
        QThread::msleep(100);
    }
    unguardedReason_ =
        QStringLiteral("the lock file %1 names no running copy and cannot be replaced")
            .arg(lockPath_);
    return Claim::Unguarded;
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
