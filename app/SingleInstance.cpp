#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace obu {

namespace {

QString errorText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder)
    : m_lockPath(folder + QStringLiteral("obu.lock")),
      // Socket paths must be short; the folder's hash keeps copies in different folders apart.
      m_socket(
          QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16)) {}

SingleInstance::~SingleInstance() {
    while (!m_callers.empty()) hangUp(m_callers.begin()->first);
    if (m_serverFd >= 0) {
        delete m_server;
        ::close(m_serverFd);
        m_socket.remove();
    }
    if (m_lockFd >= 0) {
        // Removed while still held, so no later start takes the file on its way out.
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lockFd);
    }
}

// The lock is the kernel's (flock) on obu.lock: held for as long as the
// process lives, let go of however it ends, so a killed copy's file is taken
// over at once and only a live holder counts. Copies of earlier versions take
// the same lock on the same file. Nothing is synced to the disk: the file's
// words (the holder's number) are for people, and a lock after a power cut is
// no lock at all.
SingleInstance::Claim SingleInstance::acquire() {
    const QByteArray path = QFile::encodeName(m_lockPath);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int err = errno;
            m_unguardedReason =
                err == EACCES || err == EPERM
                    ? QStringLiteral("no lock file can be made in the folder of %1").arg(m_lockPath)
                    : QStringLiteral("the lock file %1 cannot be made (%2)")
                          .arg(m_lockPath, errorText(err));
            return Claim::Unguarded;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            if (err == EWOULDBLOCK) return Claim::HeldByAnother;
            m_unguardedReason = QStringLiteral("the lock file %1 cannot be locked (%2)")
                                    .arg(m_lockPath, errorText(err));
            return Claim::Unguarded;
        }
        // The copy before may have removed the file between its opening here
        // and the lock: only the file still under the name counts.
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return holdLock(fd);
        ::close(fd);
    }
    m_unguardedReason = QStringLiteral("the lock file %1 keeps being replaced").arg(m_lockPath);
    return Claim::Unguarded;
}

// The holder's number in the file; a file that cannot hold it (a full disk)
// is no guard, and goes.
SingleInstance::Claim SingleInstance::holdLock(int fd) {
    const QByteArray words = QByteArray::number(::getpid()) + "\nobu\n";
    if (::ftruncate(fd, 0) != 0 ||
        ::write(fd, words.constData(), static_cast<std::size_t>(words.size())) != words.size()) {
        const int err = errno;
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(fd);
        m_unguardedReason =
            QStringLiteral("the lock file %1 cannot be made (%2)").arg(m_lockPath, errorText(err));
        return Claim::Unguarded;
    }
    m_lockFd = fd;
    return Claim::Acquired;
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
