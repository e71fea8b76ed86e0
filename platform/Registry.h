#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace obu {

// The default values of keys under HKEY_CLASSES_ROOT, read only.
//
// A key is named by its path, the names separated by backslashes, compared
// without regard to case (".HTM" is ".htm"); a leading backslash is ignored.
// Keys are only ever opened for reading: asking for more fails for ordinary
// users and would make the browser lookup fail with it.
class Registry {
public:
    // A value is read into room for 1024 characters; the rest is not used.
    static constexpr int kMaxValueLength = 1024;

    virtual ~Registry() = default;

    // Whether the key exists (whether it could be opened).
    bool keyExists(const QString& path) const { return lookUp(normalizedPath(path)).exists; }

    // The key's default (unnamed) value as text, cut to kMaxValueLength
    // characters. Empty when the key is missing or has no default value; an
    // empty text when the value is there and empty.
    // fromDesktopEntry, when given, tells whether the value is a command made
    // from a desktop entry's Exec line (see XdgRegistry.h) rather than one
    // stored in the Windows form.
    std::optional<QString> defaultValue(const QString& path,
                                        bool* fromDesktopEntry = nullptr) const {
        Key key = lookUp(normalizedPath(path));
        if (fromDesktopEntry) *fromDesktopEntry = key.exists && key.value && key.fromDesktopEntry;
        if (!key.exists || !key.value) return std::nullopt;
        if (key.value->size() > kMaxValueLength) key.value->truncate(kMaxValueLength);
        return key.value;
    }

    // The path in the form lookUp() receives: lower case, single backslashes,
    // none at either end.
    static QString normalizedPath(const QString& path) {
        return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\').toLower();
    }

protected:
    struct Key {
        bool exists = false;
        std::optional<QString> value;  // the default value, when the key has one
        bool fromDesktopEntry = false;
    };
    virtual Key lookUp(const QString& normalizedPath) const = 0;
};

}  // namespace obu
