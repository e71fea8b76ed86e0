#include "app/SingleInstance.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <string_view>

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
    : lockPath_(folder + QStringLiteral("obu.lock")),
      lock_(lockPath_),
      // Socket paths must be short; the folder's hash keeps copies in different folders apart.
      socket_(
          QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16)) {
    lock_.setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
}

SingleInstance::~SingleInstance() {
    while (!callers_.empty()) hangUp(callers_.begin()->first);
    if (serverFd_ >= 0) {
        delete server_;
        ::close(serverFd_);
        socket_.remove();
    }
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
    return socket_.askToShow(timeoutMs);
}

bool SingleInstance::listen(std::function<void()> onActivate) {
    onActivate_ = std::move(onActivate);
    const int fd = socket_.listen();
    if (fd < 0) return false;
    serverFd_ = fd;
    server_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(server_, &QSocketNotifier::activated, this, [this] { acceptCallers(); });
    return true;
}

void SingleInstance::acceptCallers() {
    int fd;
    while ((fd = ::accept4(serverFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        callers_[fd] = notifier;
        connect(notifier, &QSocketNotifier::activated, this, [this, fd] { answer(fd); });
    }
}

void SingleInstance::answer(int fd) {
    char request[64];
    ssize_t n;
    do n = ::recv(fd, request, sizeof request, 0);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n > 0) {
        if (std::string_view(request, static_cast<std::size_t>(n)).starts_with("show") &&
            onActivate_)
            onActivate_();
        [[maybe_unused]] const ssize_t sent = ::send(fd, "ok\n", 3, MSG_NOSIGNAL);
    }
    hangUp(fd);
}

void SingleInstance::hangUp(int fd) {
    const auto caller = callers_.find(fd);
    if (caller == callers_.end()) return;
    // Called from the notifier's own signal: it goes once that has returned.
    caller->second->setEnabled(false);
    caller->second->deleteLater();
    callers_.erase(caller);
    ::close(fd);
}

}  // namespace obu
