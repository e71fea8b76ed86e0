#include "platform/TcpLinkProbe.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "platform/EventLoop.h"

namespace obu {

struct TcpLinkProbe::Attempt {
    int fd = -1;
    EventLoop::TimerId timer = 0;
    std::unique_ptr<QSocketNotifier> writable;
    std::function<void(const QString&)> done;
    ~Attempt() {
        writable.reset();
        if (fd >= 0) ::close(fd);
    }
};

TcpLinkProbe::TcpLinkProbe(EventLoop& loop) : m_loop(loop) {}

TcpLinkProbe::~TcpLinkProbe() {
    cancel();
}

void TcpLinkProbe::cancel() {
    if (m_attempt && m_attempt->timer) m_loop.stopTimer(m_attempt->timer);
    m_attempt.reset();
}

void TcpLinkProbe::finish(const QString& failure) {
    if (!m_attempt) return;
    std::function<void(const QString&)> done = std::move(m_attempt->done);
    cancel();
    // Answered through the loop: never from inside probe() itself.
    m_loop.post([done, failure] { done(failure); });
}

void TcpLinkProbe::probe(const QString& host, int port, int timeoutMs,
                         std::function<void(const QString& failure)> done) {
    cancel();
    m_attempt = std::make_unique<Attempt>();
    m_attempt->done = std::move(done);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.toUtf8().constData(),
                                     QByteArray::number(port).constData(), &hints, &found);
    if (lookup != 0 || !found) {
        finish(QStringLiteral("cannot find %1: %2")
                   .arg(host, QString::fromUtf8(gai_strerror(lookup))));
        return;
    }
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            found->ai_protocol);
    if (fd < 0) {
        ::freeaddrinfo(found);
        finish(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_attempt->fd = fd;
    const int result = ::connect(fd, found->ai_addr, found->ai_addrlen);
    const int connectError = errno;
    ::freeaddrinfo(found);
    const QString target = QStringLiteral("%1:%2").arg(host).arg(port);
    if (result == 0) {
        finish({});
        return;
    }
    if (connectError != EINPROGRESS) {
        finish(target + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(connectError)));
        return;
    }
    m_attempt->writable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    QObject::connect(m_attempt->writable.get(), &QSocketNotifier::activated, [this, fd, target] {
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        finish(error == 0
                   ? QString()
                   : target + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)));
    });
    m_attempt->timer = m_loop.startTimer(timeoutMs, [this, target, timeoutMs] {
        finish(target + QStringLiteral(": no answer within %1 seconds").arg(timeoutMs / 1000));
    });
}

}  // namespace obu
