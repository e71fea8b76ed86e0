#pragma once
#include <QByteArray>
#include <QString>

#include <vector>

namespace obu {

// The settings file (obu.ini): values read and written by section and key on
// a file path, by the rules that files in use rely on (see IniText.h). Text is
// single-byte.
class Profile {
public:
    // Values are read into 1024 bytes: at most 1023 characters come back, a
    // limit that settings files in use already respect.
    static constexpr int kMaxValueLength = 1023;

    struct Assignment {
        QByteArray section, key, value;
    };

    virtual ~Profile() = default;
    // Never fails: a missing or unreadable file reads as empty, so the default comes back.
    virtual QByteArray readString(const QString& path, const QByteArray& section,
                                  const QByteArray& key, const QByteArray& defaultValue) const = 0;
    // Replaces or adds each key in turn (and the section and file where
    // missing), as that many single writes would, but changes the file once:
    // afterwards it holds all of them or, on failure, none. False when the
    // file could not be written; the old file is then untouched.
    virtual bool writeStrings(const QString& path, const std::vector<Assignment>& assignments) = 0;

    bool writeString(const QString& path, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value) {
        return writeStrings(path, {{section, key, value}});
    }
};

}  // namespace obu
