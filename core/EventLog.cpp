#include "core/EventLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Formats.h"

namespace obu {
namespace {

// Closes the descriptor on every path out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

void writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoError(IoError::codeForErrno(errno));
        }
        p += n;
        left -= n;
    }
}

}  // namespace

QString EventLog::DateTimeText() const { return formats_.dateTimeToStr(clock_.now()); }

void EventLog::Start(const QString& message) { writeLines(O_WRONLY | O_CREAT | O_TRUNC, {message}); }

void EventLog::WriteLogLines(const QStringList& messages) {
    // Like appending with the original runtime: a missing file is an error, not created.
    writeLines(O_WRONLY | O_APPEND, messages);
}

void EventLog::writeLines(int openFlags, const QStringList& messages) {
    const QByteArray path = path_.toLocal8Bit();
    Descriptor file{::open(path.constData(), openFlags | O_CLOEXEC, 0644)};
    if (file.fd < 0) throw IoError(IoError::codeForErrno(errno));
    for (const QString& message : messages) {
        const QString line = QLatin1Char('[') + DateTimeText() + QStringLiteral("]: ") + message;
        writeAll(file.fd, line.toLatin1() + "\r\n");
        if (echo_) echo_(line);
    }
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0 && errno != EINTR) throw IoError(IoError::codeForErrno(errno));
}

}  // namespace obu
