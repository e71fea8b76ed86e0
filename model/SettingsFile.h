#pragma once
#include <QString>

#include <vector>

#include "platform/Profile.h"

namespace obu {

// The settings file object: typed reads and writes of one initialisation file,
// each going to the file at once, and a set of writes made as one. Text is single-byte (Latin-1);
// characters outside it are written as '?'.
class SettingsFile {
public:
    SettingsFile(Profile& profile, QString path) : m_profile(profile), m_path(std::move(path)) {}

    const QString& fileName() const { return m_path; }
    // Why the file cannot be read as a whole (it then reads as empty and
    // refuses writes), in words for the user; empty when it can be read or
    // does not exist yet.
    QString readProblem() const;

    // At most 1023 characters; a missing key gives the default.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // "0x"/"0X" followed by hexadecimal digits (text longer than 2 characters),
    // otherwise decimal; text that is not a number gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // An integer with the default 0 or 1; anything but 0 is true.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;

    // Each write throws WriteError ("Unable to write to " + path) when the file
    // cannot be written. The profile stores a text so that it reads back as
    // written; line breaks, which a line cannot hold, become blanks.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // Writes gathered to reach the file together, with the conversions of
    // the single writes.
    class Changes {
    public:
        void writeString(const QString& section, const QString& key, const QString& value);
        void writeInteger(const QString& section, const QString& key, int value);
        void writeBool(const QString& section, const QString& key, bool value);

    private:
        friend class SettingsFile;
        std::vector<Profile::Assignment> m_list;
    };
    // Makes all the changes, in their order, in one replace of the file: it
    // then holds all of them or, when it cannot be written (WriteError), none.
    void write(const Changes& changes);

    // The integer rule on its own, for tests and other readers.
    static bool parseInteger(const QString& text, int& out);

private:
    Profile& m_profile;
    QString m_path;
};

}  // namespace obu
