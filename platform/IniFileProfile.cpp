#include "platform/IniFileProfile.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/IniText.h"

namespace obu {

namespace {

enum class ReadResult { Ok, Missing, Failed };

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int closeKeepingErrno(int fd) {
    const int saved = errno;
    const int rc = ::close(fd);
    errno = saved;
    return rc;
}

// The whole file, when it is a regular file of at most kMaxFileSize bytes.
// `info` gets its status when the read succeeds.
ReadResult readWhole(const std::string& path, std::string& text, struct stat* info) {
    text.clear();
    // O_NONBLOCK so that a FIFO in the file's place cannot hang the program.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return (errno == ENOENT) ? ReadResult::Missing : ReadResult::Failed;

    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > IniFileProfile::kMaxFileSize) {
        closeKeepingErrno(fd);
        return ReadResult::Failed;
    }
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || static_cast<long long>(text.size()) + n > IniFileProfile::kMaxFileSize) {
            closeKeepingErrno(fd);
            text.clear();
            return ReadResult::Failed;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (info) *info = st;
    return ReadResult::Ok;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;  // no progress; do not spin
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int fsyncRetrying(int fd) {
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name no other writer uses at the same time: process id, a counter and
// the clock, so that two programs writing the same file never share one.
std::string temporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".tmp-%ld-%u-%09ld", static_cast<long>(::getpid()),
                  counter.fetch_add(1), static_cast<long>(now.tv_nsec));
    const std::size_t slash = target.rfind('/');
    const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    return prefix + "." + nameOf(target) + suffix;
}

// Flushes the folder entry of a rename. Some file systems cannot flush a
// folder (EINVAL); the rename has happened either way.
void syncFolder(const std::string& folder) {
    int fd;
    do {
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return;
    fsyncRetrying(fd);
    ::close(fd);
}

// The file that a write replaces: the path itself, or the file a symbolic
// link points to, so that the link survives. Empty when a link is dangling
// or looping.
std::string writeTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return {};
    std::string target(resolved);
    std::free(resolved);
    return target;
}

bool replaceAtomically(const std::string& target, std::string_view text,
                       const struct stat* existing) {
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = temporaryName(target);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno != EEXIST && errno != EINTR) return false;
    }
    if (fd < 0) return false;

    bool ok = true;
    if (existing) {
        // Keep who may read the settings. Changing the owner needs privileges;
        // without them the file simply belongs to the writer, as any new file.
        if (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) {
            const int chowned = ::fchown(fd, existing->st_uid, existing->st_gid);
            static_cast<void>(chowned);
        }
        ok = ::fchmod(fd, existing->st_mode & 07777) == 0;
    }
    ok = ok && writeAll(fd, text) && fsyncRetrying(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

}  // namespace

QByteArray IniFileProfile::readString(const QString& path, const QByteArray& section,
                                      const QByteArray& key, const QByteArray& defaultValue) const {
    std::string text;
    if (readWhole(QFile::encodeName(path).toStdString(), text, nullptr) != ReadResult::Ok)
        text.clear();
    const std::optional<std::string> found = ini::lookup(text, view(section), view(key));
    QByteArray result =
        found ? QByteArray(found->data(), static_cast<qsizetype>(found->size())) : defaultValue;
    if (result.size() > kMaxValueLength) result.truncate(kMaxValueLength);
    return result;
}

bool IniFileProfile::writeString(const QString& path, const QByteArray& section,
                                 const QByteArray& key, const QByteArray& value) {
    if (!ini::isStorableKey(view(key))) return false;
    const std::string target = writeTarget(QFile::encodeName(path).toStdString());
    if (target.empty()) return false;

    std::string text;
    struct stat info {};
    const ReadResult state = readWhole(target, text, &info);
    if (state == ReadResult::Failed) return false;

    bool changed = false;
    const std::string updated = ini::assign(text, view(section), view(key), view(value), &changed);
    if (!changed) return true;
    return replaceAtomically(target, updated, state == ReadResult::Ok ? &info : nullptr);
}

}  // namespace obu
