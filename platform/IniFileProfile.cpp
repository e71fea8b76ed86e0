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
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/IniText.h"

namespace obu {

namespace {

using ReadResult = IniFileProfile::ReadResult;

// How long a temporary file may stand before it counts as left over even
// while a process of the pid in its name lives (a pid used again).
constexpr time_t kStaleAfterSeconds = 600;
// A file changed this recently may change again within the same tick of
// the file system's clock without its times showing it.
constexpr long long kSettleNanoseconds = 100'000'000;

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int closeKeepingErrno(int fd) {
    const int saved = errno;
    const int rc = ::close(fd);
    errno = saved;
    return rc;
}

long long nanoseconds(const struct timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           nanoseconds(a.st_mtim) == nanoseconds(b.st_mtim) &&
           nanoseconds(a.st_ctim) == nanoseconds(b.st_ctim);
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

constexpr std::string_view kTemporaryMark = ".tmp-";

// A name no other writer uses at the same time: process id, a counter and
// the clock, so that two programs writing the same file never share one.
std::string temporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "%ld-%u-%09ld", static_cast<long>(::getpid()),
                  counter.fetch_add(1), static_cast<long>(now.tv_nsec));
    const std::size_t slash = target.rfind('/');
    const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    return prefix + "." + nameOf(target) + std::string(kTemporaryMark) + suffix;
}

// The writer's pid in a name that temporaryName() made for `target`, or 0
// when the name is not one of ours.
pid_t writerOf(std::string_view name, const std::string& target) {
    const std::string prefix = "." + nameOf(target) + std::string(kTemporaryMark);
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return 0;
    name.remove_prefix(prefix.size());
    long long pid = 0;
    int fields = 0;
    bool inDigits = false;
    for (const char c : name) {
        if (c >= '0' && c <= '9') {
            if (fields == 0 && pid < INT_MAX) pid = pid * 10 + (c - '0');
            inDigits = true;
        } else if (c == '-' && inDigits && fields < 2) {
            ++fields;
            inDigits = false;
        } else {
            return 0;
        }
    }
    if (fields != 2 || !inDigits || pid <= 0 || pid >= INT_MAX) return 0;
    return static_cast<pid_t>(pid);
}

// Removes the temporary files of `target` whose writer is gone: a process
// killed in the middle of a save leaves its temporary file behind.
void removeLeftovers(const std::string& target) {
    const std::string folder = folderOf(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const time_t now = ::time(nullptr);
    while (const struct dirent* entry = ::readdir(dir)) {
        const pid_t writer = writerOf(entry->d_name, target);
        if (writer == 0) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        const bool writerGone = ::kill(writer, 0) != 0 && errno == ESRCH;
        if (writerGone || now - st.st_mtime > kStaleAfterSeconds)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
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

    // The file may hold a password: owner only, whatever the old file
    // allowed and whatever the umask took away.
    bool ok = ::fchmod(fd, 0600) == 0;
    if (existing && (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid())) {
        // Keep whose settings they are. Changing the owner needs privileges;
        // without them the file simply belongs to the writer, as any new file.
        const int chowned = ::fchown(fd, existing->st_uid, existing->st_gid);
        static_cast<void>(chowned);
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

void IniFileProfile::firstUse(const std::string& path) const {
    if (!m_used.insert(path).second) return;
    const std::string target = writeTarget(path);
    if (!target.empty()) removeLeftovers(target);
}

IniFileProfile::ReadResult IniFileProfile::load(const std::string& path, Text& text,
                                                struct stat* info) const {
    firstUse(path);
    text = std::make_shared<const std::string>();
    struct stat now {};
    if (::stat(path.c_str(), &now) != 0) {
        m_copies.erase(path);
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    const auto known = m_copies.find(path);
    if (known != m_copies.end() && sameFile(known->second.identity, now)) {
        text = known->second.text;
        if (info) *info = now;
        return ReadResult::Ok;
    }
    m_copies.erase(path);

    struct timespec started {};
    ::clock_gettime(CLOCK_REALTIME, &started);
    std::string bytes;
    struct stat read {};
    const ReadResult result = readWhole(path, bytes, &read);
    if (result != ReadResult::Ok) return result;
    text = std::make_shared<const std::string>(std::move(bytes));
    if (info) *info = read;
    const long long settled = nanoseconds(started) - kSettleNanoseconds;
    if (nanoseconds(read.st_ctim) < settled && nanoseconds(read.st_mtim) < settled)
        m_copies[path] = Copy{read, text};
    return ReadResult::Ok;
}

QByteArray IniFileProfile::readString(const QString& path, const QByteArray& section,
                                      const QByteArray& key, const QByteArray& defaultValue) const {
    Text text;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        load(QFile::encodeName(path).toStdString(), text, nullptr);
    }
    const std::optional<std::string> found = ini::lookup(*text, view(section), view(key));
    QByteArray result =
        found ? QByteArray(found->data(), static_cast<qsizetype>(found->size())) : defaultValue;
    if (result.size() > kMaxValueLength) result.truncate(kMaxValueLength);
    return result;
}

bool IniFileProfile::writeStrings(const QString& path, const std::vector<Assignment>& assignments) {
    for (const Assignment& a : assignments)
        if (!ini::isStorableKey(view(a.key))) return false;
    const std::lock_guard<std::mutex> lock(m_mutex);
    const std::string target = writeTarget(QFile::encodeName(path).toStdString());
    if (target.empty()) return false;

    Text old;
    struct stat info {};
    const ReadResult state = load(target, old, &info);
    if (state == ReadResult::Failed) return false;

    std::vector<ini::Change> changes;
    changes.reserve(assignments.size());
    for (const Assignment& a : assignments)
        changes.push_back({view(a.section), view(a.key), view(a.value)});
    bool changed = false;
    const std::string text = ini::assignAll(*old, changes, &changed);
    if (!changed) {
        if (state == ReadResult::Ok && (info.st_mode & 07777) != 0600) {
            // Nothing to replace, but the password must not stay readable to others.
            if (::chmod(target.c_str(), 0600) == 0) m_copies.erase(target);
        }
        return true;
    }
    m_copies.erase(target);
    return replaceAtomically(target, text, state == ReadResult::Ok ? &info : nullptr);
}

}  // namespace obu
