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
    : m_lockPath(folder + QStringLiteral("obu.lock")),
      m_lock(m_lockPath),
      // Socket paths must be short; the folder's hash keeps copies in different folders apart.
      m_socket(
          QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16)) {
    m_lock.setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
}

SingleInstance::~SingleInstance() {
    while (!m_callers.empty()) hangUp(m_callers.begin()->first);
    if (m_serverFd >= 0) {
        delete m_server;
        ::close(m_serverFd);
        m_socket.remove();
    }
    m_lock.unlock();
}

SingleInstance::Claim SingleInstance::acquire() {
    if (m_lock.tryLock(0)) return Claim::Acquired;
    switch (m_lock.error()) {
        case QLockFile::LockFailedError:
            break;
        case QLockFile::PermissionError:
            m_unguardedReason =
                QStringLiteral("no lock file can be made in the folder of %1").arg(m_lockPath);
            return Claim::Unguarded;
        default:
            m_unguardedReason = QStringLiteral("the lock file %1 cannot be made (%2)")
                                    .arg(m_lockPath, whyNoFileCanBeWritten(m_lockPath));
            return Claim::Unguarded;
    }
    // tryLock already removes a lock whose owner has died; one more try covers a race with it.
    if (m_lock.removeStaleLockFile() && m_lock.tryLock(0)) return Claim::Acquired;
    // A copy that has just made the file may not have written its number yet.
    for (int attempt = 0; attempt < 10; ++attempt) {
        qint64 pid = 0;
        QString host, application;
        if (m_lock.getLockInfo(&pid, &host, &application)) {
            if (processAlive(pid)) return Claim::HeldByAnother;
            if (m_lock.removeStaleLockFile() && m_lock.tryLock(0)) return Claim::Acquired;
        } else if (m_lock.tryLock(0)) {
            return Claim::Acquired;
        }
        QThread::msleep(100);
    }
    m_unguardedReason =
        QStringLiteral("the lock file %1 names no running copy and cannot be replaced")
            .arg(m_lockPath);
    return Claim::Unguarded;
}

bool SingleInstance::signalRunningCopy(int timeoutMs) {
    return m_socket.askToShow(timeoutMs);
}

bool SingleInstance::listen(std::function<void()> onActivate) {
    m_onActivate = std::move(onActivate);
    const int fd = m_socket.listen();
    if (fd < 0) return false;
    m_serverFd = fd;
    m_server = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_server, &QSocketNotifier::activated, this, [this] { acceptCallers(); });
    return true;
}

void SingleInstance::acceptCallers() {
    int fd;
    while ((fd = ::accept4(m_serverFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        m_callers[fd] = notifier;
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
            m_onActivate)
            m_onActivate();
        [[maybe_unused]] const ssize_t sent = ::send(fd, "ok\n", 3, MSG_NOSIGNAL);
    }
    hangUp(fd);
}

void SingleInstance::hangUp(int fd) {
    const auto caller = m_callers.find(fd);
    if (caller == m_callers.end()) return;
    // Called from the notifier's own signal: it goes once that has returned.
    caller->second->setEnabled(false);
    caller->second->deleteLater();
    m_callers.erase(caller);
    ::close(fd);
}

}  // namespace obu
