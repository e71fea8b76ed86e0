#include "app/InstanceSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace obu {

namespace {

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString lastError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool toAddress(const QByteArray& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return true;
}

QString tooLong(const QByteArray& path) {
    return QStringLiteral(
               "the socket's path %1 is too long for a Unix socket (%2 bytes, at most %3)")
        .arg(shown(path))
        .arg(path.size())
        .arg(sizeof(sockaddr_un::sun_path) - 1);
}

// Waits for fd to be ready for events; false on timeout or error.
bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int rc;
    do rc = ::poll(&p, 1, timeoutMs);
    while (rc < 0 && errno == EINTR);
    return rc > 0 && (p.revents & events);
}

// The process at the other end runs as this user (root aside, only such a
// process can reach a private folder, but the check costs nothing).
bool peerIsUs(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

// Reads the answer to "show": true once "ok" has come.
bool answeredOk(int fd, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    QByteArray answer;
    while (elapsed.elapsed() < timeoutMs && answer.size() < 64) {
        if (!waitFor(fd, POLLIN, static_cast<int>(timeoutMs - elapsed.elapsed()))) return false;
        char buf[64];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        answer.append(buf, n);
        if (answer.startsWith("ok\n")) return true;
        if (answer.size() >= 3) return false;
    }
    return false;
}

}  // namespace

QString InstanceSocket::whyNotPrivate(const QByteArray& folder) {
    struct stat st {};
    if (::lstat(folder.constData(), &st) != 0)
        return QStringLiteral("%1 cannot be used: %2").arg(shown(folder), lastError());
    if (S_ISLNK(st.st_mode)) return QStringLiteral("%1 is a link").arg(shown(folder));
    if (!S_ISDIR(st.st_mode)) return QStringLiteral("%1 is not a folder").arg(shown(folder));
    if (st.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user (uid %2)")
            .arg(shown(folder))
            .arg(st.st_uid);
    if (st.st_mode & 077)
        return QStringLiteral("%1 is open to other users (mode %2)")
            .arg(shown(folder))
            .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

QByteArray InstanceSocket::inRuntimeFolder() const {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.startsWith('/') || !whyNotPrivate(runtime).isEmpty()) return {};
    return runtime + "/obu-linekeeper-" + m_key;
}

QByteArray InstanceSocket::privateFolder() const {
    return QFile::encodeName(QDir::cleanPath(QDir::tempPath())) + "/obu-linekeeper-" +
           QByteArray::number(::geteuid()) + '-' + m_key;
}

int InstanceSocket::listen() {
    // Called with the lock held: a copy of the same files that listened before
    // has gone, and what it left is ours to remove.
    const QByteArray runtime = inRuntimeFolder();
    if (!runtime.isEmpty()) ::unlink(runtime.constData());
    remove();
    if (!runtime.isEmpty()) {
        const int fd = bindAt(runtime);
        if (fd >= 0) return fd;
    }
    const QByteArray folder = privateFolder();
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        m_problem = QStringLiteral("cannot make %1: %2").arg(shown(folder), lastError());
        return -1;
    }
    if (const QString why = whyNotPrivate(folder); !why.isEmpty()) {
        m_problem = why;
        return -1;
    }
    return bindAt(inPrivateFolder());
}

int InstanceSocket::bindAt(const QByteArray& path) {
    sockaddr_un address;
    if (!toAddress(path, address)) {
        m_problem = tooLong(path);
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        m_problem = QStringLiteral("no socket: %1").arg(lastError());
        return -1;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 50) != 0) {
        m_problem = QStringLiteral("cannot listen at %1: %2").arg(shown(path), lastError());
        ::close(fd);
        ::unlink(path.constData());
        return -1;
    }
    m_path = path;
    return fd;
}

void InstanceSocket::remove() const {
    if (!m_path.isEmpty()) ::unlink(m_path.constData());
    // Only a folder that is this user's own, and only the one file we put there.
    const QByteArray folder = privateFolder();
    struct stat st {};
    if (::lstat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) {
        ::unlink(inPrivateFolder().constData());
        ::rmdir(folder.constData());
    }
}

bool InstanceSocket::askToShow(int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    // The running copy may still be starting and not listening yet.
    for (;;) {
        const int left = timeoutMs - static_cast<int>(elapsed.elapsed());
        const int tried = tryOnce(std::max(left, 0));
        if (tried > 0) return true;
        if (tried < 0 || elapsed.elapsed() >= timeoutMs) return false;
        QThread::msleep(100);
    }
}

int InstanceSocket::tryOnce(int timeoutMs) {
    QList<QByteArray> places;
    if (const QByteArray runtime = inRuntimeFolder(); !runtime.isEmpty()) places << runtime;
    // A copy started without the runtime folder (from another session) listens here.
    const QByteArray folder = privateFolder();
    const QString why = whyNotPrivate(folder);
    if (why.isEmpty()) places << inPrivateFolder();
    if (places.isEmpty()) {
        struct stat st {};
        const bool notYetMade = ::lstat(folder.constData(), &st) != 0 && errno == ENOENT;
        m_problem = notYetMade ? QStringLiteral("no copy listens at %1").arg(shown(folder)) : why;
        return notYetMade ? 0 : -1;
    }
    bool worthAnotherTry = false;
    for (const QByteArray& path : places) {
        sockaddr_un address;
        if (!toAddress(path, address)) {
            m_problem = tooLong(path);
            continue;
        }
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) continue;
        int rc;
        do rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        while (rc < 0 && errno == EINTR);
        if (rc != 0) {
            m_problem = QStringLiteral("no copy listens at %1 (%2)").arg(shown(path), lastError());
            worthAnotherTry = true;
        } else if (!peerIsUs(fd)) {
            m_problem = QStringLiteral("the socket %1 is another user's").arg(shown(path));
        } else {
            const char request[] = "show\n";
            const bool sent = waitFor(fd, POLLOUT, 1000) &&
                              ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) ==
                                  static_cast<ssize_t>(sizeof request - 1);
            if (sent && answeredOk(fd, timeoutMs)) {
                ::close(fd);
                return 1;
            }
            m_problem = QStringLiteral("the copy at %1 did not answer").arg(shown(path));
        }
        ::close(fd);
    }
    return worthAnotherTry ? 0 : -1;
}

}  // namespace obu
