#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

#include "dialup/DialUpService.h"
#include "dialup/modem/PhoneBookEntry.h"

namespace obu {

struct PhoneBook {
    // Where the entries came from.
    enum class Source { File, Demo, Unreadable };
    Source source = Source::File;
    QString path;
    // 0, or the service's code for a phone book that cannot be used, and why
    // in words (the file named).
    DialUpError error = dialup_error::None;
    QString problem;
    std::vector<PhoneBookEntry> entries;

    // The entry of that name (compared without case, as cut to 256 characters).
    const PhoneBookEntry* find(const QByteArray& name) const;

    // Reads a phone book file. A missing file gives the built-in demo phone
    // book when demoWhenMissing (the default phone book), and error 621 otherwise.
    static PhoneBook load(const QString& path, bool demoWhenMissing);
    // The phone book that serves when the user has none.
    static PhoneBook demo();
    static QByteArray demoText();
    // Parses phone-book text; never fails, bad lines are skipped.
    static PhoneBook parse(const QByteArray& bytes);
    // $OBU_PHONEBOOK, else $XDG_CONFIG_HOME/obu/phonebook.pbk, else
    // ~/.config/obu/phonebook.pbk.
    static QString defaultPath();

    // Files larger than this are not phone books.
    static constexpr qint64 kMaxFileBytes = qint64{4} * 1024 * 1024;

private:
    // The entries by name (case-folded): reading stays linear in the size of
    // the book, however many entries it has.
    QHash<QString, std::size_t> m_byName;
};

}  // namespace obu
