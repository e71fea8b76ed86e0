#pragma once
#include "platform/Profile.h"

namespace obu {

// The profile functions on a real file, with the text rules of IniText.h.
//
// Reading never fails: a missing, unreadable or non-regular file, or one
// larger than kMaxFileSize, reads as empty, so the default comes back. The
// value (or the default) is cut to kMaxValueLength bytes.
//
// Every write that changes the text replaces the file atomically: the new
// text goes to a fresh temporary file in the same folder (created
// exclusively, mode 0600 for a new file, the old file's mode and, where
// allowed, owner for an existing one), is flushed to disk, renamed over the
// file, and the folder is flushed. A kill or power cut at any moment leaves
// either the old or the new file, never a mix; at worst a stray hidden
// temporary file (".<name>.tmp-…") remains beside it. On any failure before
// the rename the temporary file is removed and the old file is untouched.
// The rename is the point of no return: a failing flush of the folder after
// it is not reported, because the new text is already in place.
//
// A write that would not change the text does not touch the file (its
// bytes, time stamps and inode stay). A file that exists but cannot be read
// (no permission, not a regular file, over kMaxFileSize) is never
// overwritten: the write fails rather than replacing unknown content with
// a single key. A path that is a symbolic link keeps the link: the file it
// points to is replaced, in that file's folder.
//
// Concurrent writers of the same file are not serialised: as on Windows, the
// last one wins for the keys they both touch.
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
    bool writeString(const QString& path, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value) override;
};

}  // namespace obu
