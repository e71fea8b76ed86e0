#include "dialup/modem/SerialPort.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace obu {

SerialPort::~SerialPort() {
    close();
}

unsigned SerialPort::speedConstant(int speed) {
    switch (speed) {
        case 300:
            return B300;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return 0;
    }
}

QString SerialPort::permissionAdvice(const QByteArray& device) {
    const QString name = QString::fromLocal8Bit(device);
    struct stat st {};
    if (::stat(device.constData(), &st) != 0)
        return QStringLiteral("%1: permission denied").arg(name);
    const auto groupName = [](gid_t gid) {
        const group* g = ::getgrgid(gid);
        return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
    };
    const auto userName = [](uid_t uid) {
        const passwd* p = ::getpwuid(uid);
        return p ? QString::fromLocal8Bit(p->pw_name) : QString::number(uid);
    };
    const QString me = userName(::getuid());
    if ((st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP)) {
        const QString group = groupName(st.st_gid);
        // A member of the group whose session began before they joined it.
        const passwd* self = ::getpwuid(::getuid());
        gid_t groups[256];
        int count = 256;
        if (self && ::getgrouplist(self->pw_name, self->pw_gid, groups, &count) >= 0)
            for (int i = 0; i < count; ++i)
                if (groups[i] == st.st_gid)
                    return QStringLiteral(
                               "%1 belongs to the group %2; %3 was added to it after this "
                               "session began: log in again")
                        .arg(name, group, me);
        return QStringLiteral(
                   "%1 belongs to the group %2 and %3 is not in it; add the user to it "
                   "(sudo adduser %3 %2) and log in again")
            .arg(name, group, me);
    }
    return QStringLiteral(
               "%1 may be opened only by its owner %2 (mode %3); ask for it to be given to "
               "a group that %4 is in, such as dialout")
        .arg(name, userName(st.st_uid), QString::number(st.st_mode & 07777, 8), me);
}

bool SerialPort::open(const QByteArray& device, const Settings& settings) {
    close();
    m_error.clear();
    m_errno = 0;
    const auto fail = [&](const QString& what) {
        m_errno = errno;
        m_error = QStringLiteral("%1: %2: %3")
                      .arg(QString::fromLocal8Bit(device), what,
                           QString::fromLocal8Bit(std::strerror(m_errno)));
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        errno = m_errno;
        return false;
    };
    // O_NONBLOCK: opening must not wait for a carrier, and no read or write may
    // ever block the thread that drives the modem.
    m_fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) return fail(QStringLiteral("cannot open"));
    if (!::isatty(m_fd)) {
        errno = ENOTTY;
        return fail(QStringLiteral("not a serial device"));
    }
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) return fail(QStringLiteral("cannot read its settings"));
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | HUPCL;
    // CLOCAL while we talk to the modem: a missing carrier must not stop I/O
    // before the call is made.
    tio.c_cflag |= CLOCAL;
    if (settings.hardwareFlow) tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // VMIN 1: with nothing to read, a non-blocking read says "try again"
    // (with VMIN 0 it would return 0, which we take for a device gone away).
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    const unsigned speed = speedConstant(settings.speed);
    if (speed) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
    }
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) return fail(QStringLiteral("cannot set it up"));
    m_device = device;
    setDtr(true);
    return true;
}

void SerialPort::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool SerialPort::readAvailable(QByteArray& into) {
    if (m_fd < 0) return false;
    char buf[1024];
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, n);
            if (into.size() > 1 << 20) return true;  // the caller trims it
            continue;
        }
        if (n == 0) return false;  // the other end of a pseudo-terminal went away
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

bool SerialPort::write(const QByteArray& text) {
    if (m_fd < 0) return false;
    qsizetype done = 0;
    int waits = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.constData() + done, text.size() - done);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waits < 3) {
            // AT commands are a few bytes: a full buffer means that flow control
            // holds us back (a modem switched off drops CTS). A moment's wait at
            // most; a modem that stays silent is reported as not responding.
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
            ++waits;
            continue;
        }
        return false;
    }
    return true;
}

void SerialPort::flushInput() {
    if (m_fd >= 0) ::tcflush(m_fd, TCIFLUSH);
}

bool SerialPort::setDtr(bool on) {
    if (m_fd < 0) return false;
    int bits = TIOCM_DTR | TIOCM_RTS;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

std::optional<bool> SerialPort::carrier() const {
    if (m_fd < 0) return std::nullopt;
    int bits = 0;
    if (::ioctl(m_fd, TIOCMGET, &bits) != 0) return std::nullopt;
    return (bits & TIOCM_CAR) != 0;
}

void SerialPort::keepDtrOnClose() {
    if (m_fd < 0) return;
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) return;
    tio.c_cflag &= ~HUPCL;
    ::tcsetattr(m_fd, TCSANOW, &tio);
}

}  // namespace obu
