#pragma once
#include <sys/stat.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/Profile.h"

namespace obu {

// The profile functions on a real file, with the text rules of IniText.h.
//
// Reading never fails: a missing, unreadable or non-regular file, or one
// larger than kMaxFileSize, reads as empty, so the default comes back. The
// value (or the default) is cut to kMaxValueLength bytes.
//
// The text of a file is read once and kept while the file stays the same
// one: each read or write first checks the file's identity (device, inode,
// size, modification and change times), so a file replaced or edited by
// another program is read afresh, and a program that reads many keys at
// start reads the file once. A file changed within the last moments is
// never taken from memory, since a change in the same clock tick would not
// show in its times.
//
// Every write that changes the text replaces the file atomically: the new
// text goes to a fresh temporary file in the same folder (created
// exclusively), is flushed to disk, renamed over the file, and the folder is
// flushed. A kill or power cut at any moment leaves either the old or the
// new file, never a mix; at worst a stray hidden temporary file
// (".<name>.tmp-<pid>-…") remains beside it, which the first use of the
// file by a later process removes once its writer is gone. On any failure
// before the rename the temporary file is removed and the old file is
// untouched. The rename is the point of no return: a failing flush of the
// folder after it is not reported, because the new text is already in place.
//
// The file may hold a password: whatever its mode was before, after a write
// it is readable and writable by its owner alone (0600), and so is every
// temporary file on its way. Where allowed, the owner and group stay.
//
// A write that would not change the text leaves the file's bytes, time
// stamps and inode alone (only a wider mode is narrowed). A file that
// exists but cannot be read (no permission, not a regular file, over
// kMaxFileSize) is never overwritten: the write fails rather than replacing
// unknown content with a single key. A path that is a symbolic link keeps
// the link: the file it points to is replaced, in that file's folder.
//
// Concurrent writers of the same file are not serialised: the last one wins
// for the keys they both touch.
class IniFileProfile : public Profile {
public:
    // Far above any real settings file; keeps a stray huge file from
    // exhausting memory.
    static constexpr long long kMaxFileSize = 16LL * 1024 * 1024;

    IniFileProfile() = default;

    QByteArray readString(const QString& path, const QByteArray& section, const QByteArray& key,
                          const QByteArray& defaultValue) const override;
    // Also false for a key name that could never be read back (see
    // ini::isStorableKey), and for a missing folder.
    bool writeStrings(const QString& path, const std::vector<Assignment>& assignments) override;
    using Profile::writeString;

    enum class ReadResult { Ok, Missing, Failed };

private:
    using Text = std::shared_ptr<const std::string>;
    struct Copy {
        struct stat identity {};
        Text text;
    };

    // The text of the file at `path` (empty unless Ok); `info` gets its status.
    ReadResult load(const std::string& path, Text& text, struct stat* info) const;
    void firstUse(const std::string& path) const;

    mutable std::mutex m_mutex;
    mutable std::map<std::string, Copy> m_copies;
    mutable std::set<std::string> m_used;
};

}  // namespace obu
