#include "model/EventLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Formats.h"
#include "platform/PrintableText.h"

namespace obu {
namespace {

// Closes the descriptor on every path out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// errno of the first failed write, or 0.
int writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        left -= n;
    }
    return 0;
}

}  // namespace

QString EventLog::dateTimeText() const {
    return m_formats.dateTimeText(m_clock.now());
}

QString EventLog::previousPath() const {
    QString previous = m_path;
    if (previous.endsWith(QLatin1String(".txt"))) previous.chop(4);
    return previous + QStringLiteral(".1.txt");
}

void EventLog::start(const QString& message) {
    const QByteArray path = m_path.toLocal8Bit();
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0) {
        // The last run's log survives one restart, so the reason for a drop in
        // the night can still be read the morning after. A link is not a log of
        // ours: it goes, and the file it points to is left alone. A folder or
        // anything else stays for the open below to report.
        if (S_ISREG(st.st_mode))
            ::rename(path.constData(), previousPath().toLocal8Bit().constData());
        else if (S_ISLNK(st.st_mode))
            ::unlink(path.constData());
    }
    writeToFile(O_WRONLY | O_CREAT | O_TRUNC, {message});
}

void EventLog::writeLines(const QStringList& messages) {
    // Appending never creates the log: a log that vanished after the start is
    // an error the user must see, not a fresh file that hides what went before.
    writeToFile(O_WRONLY | O_APPEND, messages);
}

void EventLog::writeToFile(int openFlags, const QStringList& messages) {
    const QByteArray path = m_path.toLocal8Bit();
    // O_NOFOLLOW: a link that appeared in the log's place since start() is refused, not followed.
    Descriptor file{::open(path.constData(), openFlags | O_NOFOLLOW | O_CLOEXEC, 0600)};
    if (file.fd < 0) fail(errno);
    for (const QString& message : messages) {
        // Names and values in a message may come from outside (a phone book,
        // NetworkManager, a modem): no control character of theirs is written.
        const QString line =
            QLatin1Char('[') + dateTimeText() + QStringLiteral("]: ") + printableText(message);
        if (const int err = writeAll(file.fd, line.toLatin1() + "\r\n")) fail(err);
        if (m_echo) m_echo(line);
    }
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0 && errno != EINTR) fail(errno);
}

void EventLog::fail(int err) const {
    throw IoError(IoError::codeForErrno(err), m_path);
}

}  // namespace obu
