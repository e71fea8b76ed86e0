#include "dialup/phonebook/PhoneBook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/HomeFolder.h"

namespace obu {

namespace {

// Phone books are often written in UTF-8 by today's editors; older ones are
// single-byte. Both are read, and names become single-byte for the records.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) return QString::fromLatin1(bytes);
    return text;
}

QByteArray singleByte(const QString& text, int limit) {
    return text.left(limit).toLatin1();
}

bool hasControlCharacters(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

QString unquote(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

int number(const QString& value, int fallback, int lowest, int highest) {
    bool ok = false;
    const qlonglong n = value.trimmed().toLongLong(&ok);
    if (!ok) return fallback;
    return static_cast<int>(std::clamp<qlonglong>(n, lowest, highest));
}

LineFailure failureNamed(const QString& value) {
    const QString v = value.trimmed().toLower();
    if (v == u"busy") return LineFailure::Busy;
    if (v == u"no-dial-tone") return LineFailure::NoDialTone;
    if (v == u"no-answer") return LineFailure::NoAnswer;
    if (v == u"no-carrier") return LineFailure::NoCarrier;
    if (v == u"modem-error") return LineFailure::ModemError;
    if (v == u"login") return LineFailure::Login;
    if (v == u"line-drop") return LineFailure::LineDrop;
    if (v == u"ppp-timeout") return LineFailure::PppTimeout;
    return LineFailure::None;  // "none" and values we do not know
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    return a.size() == b.size() &&
           QString::fromLatin1(a).compare(QString::fromLatin1(b), Qt::CaseInsensitive) == 0;
}

QString nameKey(const QByteArray& name) {
    return QString::fromLatin1(name).toCaseFolded();
}

void applyKey(PhoneBookEntry& e, const QString& key, const QString& value) {
    constexpr int kMaxDelay = 10 * 60 * 1000;
    const auto is = [&](const char* name) {
        return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    if (is("PhoneNumber"))
        e.phoneNumber = singleByte(value, kMaxPhoneNumber);
    else if (is("Device"))
        e.device = singleByte(value, kMaxDeviceName);
    else if (is("DeviceType"))
        e.deviceType = singleByte(value, kMaxDeviceType);
    else if (is("PortDelay"))
        e.portDelayMs = number(value, e.portDelayMs, 0, kMaxDelay);
    else if (is("DialDelay"))
        e.dialDelayMs = number(value, e.dialDelayMs, 0, kMaxDelay);
    else if (is("AuthDelay"))
        e.authDelayMs = number(value, e.authDelayMs, 0, kMaxDelay);
    else if (is("ProjectDelay"))
        e.projectDelayMs = number(value, e.projectDelayMs, 0, kMaxDelay);
    else if (is("BusyCount"))
        e.busyCount = number(value, 0, 0, 1000);
    else if (is("Fail"))
        e.failure = failureNamed(value);
    else if (is("AcceptUser"))
        e.acceptUser = singleByte(value, kMaxAccountText);
    else if (is("AcceptPassword"))
        e.acceptPassword = singleByte(value, kMaxAccountText);
    else if (is("DropAfter"))
        e.dropAfterSeconds = number(value, 0, 0, 30 * 24 * 3600);
    else if (is("Speed"))
        e.speed = number(value, e.speed, 300, 4000000);
    else if (is("FlowControl"))
        e.hardwareFlow = value.trimmed().compare(QLatin1String("none"), Qt::CaseInsensitive) != 0;
    else if (is("InitString"))
        e.initString = singleByte(value, 200);
    else if (is("DialPrefix"))
        e.dialPrefix = singleByte(value, 40);
    else if (is("WaitForDialTone"))
        e.waitForDialTone = number(value, 1, 0, 1) != 0;
    else if (is("DialTimeout"))
        e.dialTimeoutSeconds = number(value, e.dialTimeoutSeconds, 5, 600);
    else if (is("PppOptions"))
        e.pppOptions = singleByte(value, 2000);
    else if (is("PppPeer"))
        e.pppPeer = singleByte(value, 200);
}

// Reads an open phone book: a regular file, no larger than the limit. The
// error and why it was refused, else 0 and the file's bytes.
DialUpError readPhoneBookFile(int fd, QByteArray& bytes, QString& problem) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        problem = QString::fromLocal8Bit(std::strerror(errno));
        return dialup_error::CannotOpenPhoneBook;
    }
    if (S_ISDIR(st.st_mode)) {
        problem = QStringLiteral("a folder, not a phone book file");
        return dialup_error::CannotOpenPhoneBook;
    }
    if (!S_ISREG(st.st_mode)) {
        problem = QStringLiteral("not a regular file (a pipe or a device is never read)");
        return dialup_error::CannotOpenPhoneBook;
    }
    constexpr qint64 limit = PhoneBook::kMaxFileBytes;
    const auto tooLarge = [] { return QStringLiteral("larger than %1 MiB").arg(limit >> 20); };
    if (st.st_size > limit) {
        problem = tooLarge();
        return dialup_error::CannotLoadPhoneBook;
    }
    // The file may grow while it is read: no more than the limit is taken.
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            problem = QString::fromLocal8Bit(std::strerror(errno));
            return dialup_error::CannotOpenPhoneBook;
        }
        if (n == 0) return dialup_error::None;
        bytes.append(buf, n);
        if (bytes.size() > limit) {
            problem = tooLarge();
            return dialup_error::CannotLoadPhoneBook;
        }
    }
}

}  // namespace

const PhoneBookEntry* PhoneBook::find(const QByteArray& name) const {
    const QByteArray wanted = name.left(kMaxEntryName);
    if (m_byName.size() == static_cast<qsizetype>(entries.size())) {
        const auto it = m_byName.constFind(nameKey(wanted));
        return it == m_byName.cend() ? nullptr : &entries[*it];
    }
    // Entries put in by hand, not read: looked through one by one.
    for (const PhoneBookEntry& e : entries)
        if (sameName(e.name, wanted)) return &e;
    return nullptr;
}

PhoneBook PhoneBook::parse(const QByteArray& bytes) {
    PhoneBook book;
    const QString text = decode(bytes);
    PhoneBookEntry* current = nullptr;
    // Keys already seen in the current section (case-folded): the first one wins.
    QSet<QString> seen;
    const QStringView all(text);
    // One pass over the text, lines taken as views: nothing is copied for
    // lines that are skipped, and nothing grows with the size of the book
    // but the entries themselves.
    for (qsizetype pos = 0; pos < all.size();) {
        qsizetype end = pos;
        while (end < all.size() && all[end] != u'\n' && all[end] != u'\r') ++end;
        const QStringView line = all.mid(pos, end - pos).trimmed();
        pos = end + 1;
        if (end + 1 < all.size() && all[end] == u'\r' && all[end + 1] == u'\n') ++pos;
        if (line.isEmpty() || line.front() == u';' || line.front() == u'#') continue;
        if (line.front() == u'[') {
            current = nullptr;
            seen.clear();
            const qsizetype close = line.lastIndexOf(u']');
            if (close < 0) continue;
            const QString name = line.mid(1, close - 1).trimmed().toString();
            // A section without a usable name, or a second section of a name
            // already listed, holds nothing that can be dialled.
            if (name.isEmpty() || hasControlCharacters(name)) continue;
            PhoneBookEntry entry;
            entry.name = singleByte(name, kMaxEntryName);
            const QString key = nameKey(entry.name);
            if (book.m_byName.contains(key)) continue;
            book.m_byName.insert(key, book.entries.size());
            book.entries.push_back(std::move(entry));
            current = &book.entries.back();
            continue;
        }
        if (!current) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed().toString();
        const QString folded = key.toCaseFolded();
        if (seen.contains(folded)) continue;
        seen.insert(folded);
        applyKey(*current, key, unquote(line.mid(eq + 1).trimmed().toString()));
    }
    return book;
}

QByteArray PhoneBook::demoText() {
    // Fictional numbers (555-01xx). One modem serves every entry, as on a
    // machine with a single phone line.
    return "; The demo phone book: it serves while no phone book file exists.\n"
           "[Demo ISP]\nPhoneNumber=555-0100\n"
           "[Demo Busy]\nPhoneNumber=555-0101\nBusyCount=2\n"
           "[Demo Always Busy]\nPhoneNumber=555-0102\nFail=busy\n"
           "[Demo No Dial Tone]\nPhoneNumber=555-0103\nFail=no-dial-tone\n"
           "[Demo No Answer]\nPhoneNumber=555-0104\nFail=no-answer\nDialDelay=10000\n"
           "[Demo Bad Password]\nPhoneNumber=555-0105\nFail=login\n"
           "[Demo Drop]\nPhoneNumber=555-0106\nDropAfter=60\n";
}

PhoneBook PhoneBook::demo() {
    PhoneBook book = parse(demoText());
    book.source = Source::Demo;
    return book;
}

PhoneBook PhoneBook::load(const QString& path, bool demoWhenMissing) {
    PhoneBook book;
    const auto refuse = [&](DialUpError code, const QString& why) {
        book = PhoneBook();
        book.source = Source::Unreadable;
        book.error = code;
        book.problem = QStringLiteral("%1: %2").arg(path, why);
        book.path = path;
        return book;
    };
    // Never blocking: a FIFO or a device given as the phone book would wait
    // for a writer for ever. Only a regular file is read.
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    int why = ENOENT;
    if (!path.isEmpty()) {
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        why = errno;
    }
    if (fd < 0) {
        if (why != ENOENT && why != ENOTDIR)
            return refuse(dialup_error::CannotOpenPhoneBook,
                          QString::fromLocal8Bit(std::strerror(why)));
        if (demoWhenMissing)
            book = demo();
        else
            refuse(dialup_error::CannotOpenPhoneBook, QStringLiteral("no such file"));
        book.path = path;
        return book;
    }
    QByteArray bytes;
    QString problem;
    const DialUpError code = readPhoneBookFile(fd, bytes, problem);
    ::close(fd);
    if (code) return refuse(code, problem);
    book = parse(bytes);
    book.path = path;
    return book;
}

QString PhoneBook::defaultPath() {
    const QString overridden = qEnvironmentVariable("OBU_PHONEBOOK");
    if (!overridden.isEmpty()) return overridden;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = homeFolder() + QStringLiteral("/.config");
    return config + QStringLiteral("/obu/phonebook.pbk");
}

}  // namespace obu
