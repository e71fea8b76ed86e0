#include "platform/XdgRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/HomeFolder.h"

namespace obu {
namespace {

// Stands for a field code that takes the address until the command is made.
constexpr QChar kPlaceholder(0xE000);

// One group of a key file (desktop entry, mimeapps.list, mimeinfo.cache):
// keys in the order met, the first of a repeated key kept.
using KeyGroup = QList<QPair<QString, QString>>;

QHash<QString, KeyGroup> parseKeyFile(const QByteArray& text) {
    QHash<QString, KeyGroup> groups;
    KeyGroup* current = nullptr;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            current = &groups[line.mid(1, line.size() - 2)];
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!current || eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        bool seen = false;
        for (const auto& kv : *current) seen = seen || kv.first == key;
        if (!seen) current->append({key, line.mid(eq + 1).trimmed()});
    }
    return groups;
}

// A file that is missing or cannot be read counts as empty.
QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString valueOf(const KeyGroup& group, const QString& key) {
    for (const auto& kv : group)
        if (kv.first == key) return kv.second;
    return {};
}

// The desktop file ids listed for a MIME type ("a.desktop;b.desktop;").
QStringList idsFor(const KeyGroup& group, const QString& mimeType) {
    for (const auto& kv : group)
        if (kv.first.compare(mimeType, Qt::CaseInsensitive) == 0)
            return kv.second.split(u';', Qt::SkipEmptyParts);
    return {};
}

bool isExecutableFile(const QString& path) {
    struct stat st;
    const QByteArray encoded = QFile::encodeName(path);
    return ::stat(encoded.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(encoded.constData(), X_OK) == 0;
}

// The full path of a program: an absolute path as it is, a bare name on PATH.
QString resolveProgram(const QString& name, const QStringList& path) {
    if (name.startsWith(u'/')) return isExecutableFile(name) ? name : QString();
    if (name.isEmpty() || name.contains(u'/')) return {};
    for (const QString& folder : path) {
        if (!folder.startsWith(u'/')) continue;
        const QString candidate = folder + u'/' + name;
        if (isExecutableFile(candidate)) return candidate;
    }
    return {};
}

// The escapes of a desktop entry's string values.
QString unescapeValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 >= value.size()) {
            out.append(value[i]);
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            out.append(u' ');
        else if (next == u'n')
            out.append(u'\n');
        else if (next == u't')
            out.append(u'\t');
        else if (next == u'r')
            out.append(u'\r');
        else if (next == u'\\')
            out.append(u'\\');
        else
            out.append(u'\\').append(next);
    }
    return out;
}

// An Exec value split into its arguments, with the field codes expanded.
QStringList execArguments(const QString& exec) {
    const QString s = unescapeValue(exec);
    QStringList words;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto isSpace = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    while (i < n) {
        while (i < n && isSpace(s[i])) ++i;
        if (i >= n) break;
        QString word;
        bool inQuotes = false;
        bool hadCode = false;
        bool quoted = false;
        for (; i < n && (inQuotes || !isSpace(s[i])); ++i) {
            const QChar c = s[i];
            if (c == u'"') {
                inQuotes = !inQuotes;
                quoted = true;
            } else if (inQuotes && c == u'\\' && i + 1 < n &&
                       QStringView(u"\"`$\\").contains(s[i + 1])) {
                word.append(s[++i]);
            } else if (c == u'%' && i + 1 < n) {
                const QChar code = s[++i];
                if (code == u'%') {
                    word.append(u'%');
                } else {
                    hadCode = true;
                    if (QStringView(u"fFuU").contains(code)) word.append(kPlaceholder);
                }
            } else if (c != kPlaceholder) {
                word.append(c);
            }
        }
        // A code that expands to nothing takes its argument with it; an empty
        // quoted argument written as such stays.
        if (word.isEmpty() && (hadCode || !quoted)) continue;
        words.append(word);
    }
    return words;
}

// The desktop file of an id in an applications folder, where "a-b.desktop"
// may also be a/b.desktop (to four levels). Only folders that exist are
// followed: an id of many dashes would otherwise stand for millions of paths.
QString findIn(const QString& folder, const QString& id, qsizetype from = 0, int depth = 0) {
    const QString candidate = folder + u'/' + id;
    if (QFileInfo(candidate).isFile()) return candidate;
    if (depth >= 4) return {};
    for (qsizetype dash = id.indexOf(u'-', from); dash >= 0; dash = id.indexOf(u'-', dash + 1)) {
        QString nested = id;
        nested[dash] = u'/';
        if (!QFileInfo(folder + u'/' + nested.left(dash)).isDir()) continue;
        if (QString found = findIn(folder, nested, dash + 1, depth + 1); !found.isEmpty())
            return found;
    }
    return {};
}

}  // namespace

XdgDirs XdgDirs::fromEnvironment(const QProcessEnvironment& env) {
    const QString home = env.value(QStringLiteral("HOME"), homeFolder());
    auto single = [&](const char* name, const QString& fallback) {
        const QString value = env.value(QString::fromLatin1(name));
        return value.startsWith(u'/') ? value : fallback;
    };
    auto list = [&](const char* name, const QStringList& fallback) {
        QStringList out;
        for (const QString& p : env.value(QString::fromLatin1(name)).split(u':'))
            if (p.startsWith(u'/')) out.append(p);
        return out.isEmpty() ? fallback : out;
    };
    XdgDirs d;
    d.dataHome = single("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    d.dataDirs =
        list("XDG_DATA_DIRS", {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    d.configHome = single("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    d.configDirs = list("XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")});
    for (const QString& desktop :
         env.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(u':', Qt::SkipEmptyParts))
        d.desktops.append(desktop.toLower());
    d.path = env.value(QStringLiteral("PATH")).split(u':', Qt::SkipEmptyParts);
    return d;
}

XdgRegistry::XdgRegistry(XdgDirs dirs) : m_dirs(std::move(dirs)) {}

QStringList XdgRegistry::applicationFolders() const {
    QStringList out{m_dirs.dataHome + QStringLiteral("/applications")};
    for (const QString& d : m_dirs.dataDirs) out.append(d + QStringLiteral("/applications"));
    return out;
}

QStringList XdgRegistry::mimeappsLists() const {
    QStringList folders{m_dirs.configHome};
    folders += m_dirs.configDirs;
    folders += applicationFolders();
    QStringList out;
    for (const QString& folder : folders) {
        for (const QString& desktop : m_dirs.desktops)
            out.append(folder + u'/' + desktop + QStringLiteral("-mimeapps.list"));
        out.append(folder + QStringLiteral("/mimeapps.list"));
    }
    return out;
}

QString XdgRegistry::findDesktopFile(const QString& id) const {
    if (!id.endsWith(QStringLiteral(".desktop")) || id.contains(u'/')) return {};
    for (const QString& folder : applicationFolders())
        if (QString found = findIn(folder, id); !found.isEmpty()) return found;
    return {};
}

QString XdgRegistry::execOfApplication(const QString& id) const {
    const QString file = findDesktopFile(id.trimmed());
    return file.isEmpty() ? QString() : execOfEntry(readFile(file), m_dirs.path);
}

QString XdgRegistry::execOfEntry(const QByteArray& desktopEntry, const QStringList& path) {
    const QHash<QString, KeyGroup> groups = parseKeyFile(desktopEntry);
    const auto entry = groups.constFind(QStringLiteral("Desktop Entry"));
    if (entry == groups.constEnd()) return {};
    const QString type = valueOf(*entry, QStringLiteral("Type"));
    if (!type.isEmpty() && type != u"Application") return {};
    if (valueOf(*entry, QStringLiteral("Hidden")) == u"true") return {};
    const QString tryExec = unescapeValue(valueOf(*entry, QStringLiteral("TryExec")));
    if (!tryExec.isEmpty() && resolveProgram(tryExec, path).isEmpty()) return {};
    const QString exec = valueOf(*entry, QStringLiteral("Exec"));
    return commandFromExec(exec, {}, path).isEmpty() ? QString() : exec;
}

XdgRegistry::Associations XdgRegistry::associationsIn(const QByteArray& mimeappsList,
                                                      const QString& mimeType) {
    const QHash<QString, KeyGroup> groups = parseKeyFile(mimeappsList);
    Associations a;
    a.defaults = idsFor(groups.value(QStringLiteral("Default Applications")), mimeType);
    a.added = idsFor(groups.value(QStringLiteral("Added Associations")), mimeType);
    a.removed = idsFor(groups.value(QStringLiteral("Removed Associations")), mimeType);
    return a;
}

QString XdgRegistry::openExec(const QString& mimeType, QString* desktopFile) const {
    auto use = [&](const QString& id) {
        const QString exec = execOfApplication(id);
        if (!exec.isEmpty() && desktopFile) *desktopFile = findDesktopFile(id.trimmed());
        return exec;
    };
    QList<Associations> lists;
    for (const QString& list : mimeappsLists())
        lists.append(associationsIn(readFile(list), mimeType));

    for (const Associations& list : lists)
        for (const QString& id : list.defaults)
            if (const QString c = use(id); !c.isEmpty()) return c;

    QSet<QString> removed;
    for (const Associations& list : lists) {
        for (const QString& id : list.removed) removed.insert(id.trimmed());
        for (const QString& id : list.added)
            if (!removed.contains(id.trimmed()))
                if (const QString c = use(id); !c.isEmpty()) return c;
    }

    for (const QString& folder : applicationFolders()) {
        const auto groups = parseKeyFile(readFile(folder + QStringLiteral("/mimeinfo.cache")));
        for (const QString& id : idsFor(groups.value(QStringLiteral("MIME Cache")), mimeType))
            if (!removed.contains(id.trimmed()))
                if (const QString c = use(id); !c.isEmpty()) return c;
    }
    return {};
}

QString XdgRegistry::defaultApplication(const QString& mimeType) const {
    QString file;
    openExec(mimeType.toLower(), &file);
    return file;
}

QStringList XdgRegistry::commandFromExec(const QString& exec, const QString& address,
                                         const QStringList& path) {
    QStringList words = execArguments(exec);
    if (words.isEmpty() || words.first().contains(kPlaceholder)) return {};
    const QString program = resolveProgram(words.first(), path);
    if (program.isEmpty()) return {};
    words.first() = program;
    bool placed = false;
    for (QString& word : words) {
        if (!word.contains(kPlaceholder)) continue;
        word.replace(kPlaceholder, address);
        placed = true;
    }
    if (!placed) words.append(address);
    return words;
}

QStringList XdgRegistry::commandFor(const QString& address) const {
    QString exec = openExec(QStringLiteral("x-scheme-handler/") + schemeOf(address));
    if (exec.isEmpty()) exec = openExec(QStringLiteral("text/html"));
    if (exec.isEmpty()) return {};
    return commandFromExec(exec, address, m_dirs.path);
}

}  // namespace obu
