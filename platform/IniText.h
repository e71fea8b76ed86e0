#pragma once
// The text of an initialisation file, read and written key by key. Stored
// files and users rely on these rules, so they are kept exactly:
//
// Lines
//   - Lines end at CR LF, LF or a lone CR. A line break is not part of a line;
//     text after the last line break that is empty is not a line.
//   - Blanks are space and tab. They are trimmed around a line, a section
//     name, a key name and a value.
//   - A line whose first non-blank byte is '[' and which holds a ']' opens a
//     section. Its name is the text between the '[' and the LAST ']', trimmed;
//     text after that ']' is ignored ("[a]b] x" opens section "a]b").
//   - A line that starts with '[' but holds no ']' is a broken header: it is
//     neither a section nor a key and does not end the section it stands in,
//     so a stray '[' typed by hand cannot hide the keys that follow it.
//   - A line whose first non-blank byte is ';' is a comment. Only ';' marks a
//     comment, and only at the start of a line: "k=a ; b" has the value "a ; b".
//   - Any other line with a '=' holds a key: the name is the text before the
//     first '=', the value the text after it, both trimmed. A line with no
//     '=' is not a key.
//   - A value wrapped in a matching pair of '"' or '\'' is read without that
//     one pair; nothing else is stripped ("\"" alone reads as "\"").
//   - Lines before the first section header belong to no section, not even
//     to the one named "".
//
// Names
//   - Section and key names compare without case for the ASCII letters only;
//     bytes 128-255 compare as they are (single-byte text of any code page).
//   - The requested names are treated like the stored ones: CR and LF become
//     blanks, and blanks around them are trimmed.
//
// First match wins
//   - Only the first section of a name counts, for reading and for writing: a
//     key present only in a later section of the same name is not seen. In
//     that section the first line with the key counts.
//
// Writing
//   - An existing key gets its new value in place: the line keeps its
//     leading blanks, its key as spelt in the file, the blanks around '=' and
//     its own line break; only the value is replaced.
//   - A new key goes right after the last key line of its section (before any
//     blank lines, comments or broken lines that trail the section, which
//     usually belong to the next section), or right after the header when
//     the section holds no key yet.
//   - A new section goes at the end of the file as "[Section]" CR LF
//     "key=value" CR LF, with no blank line; a file whose last line has no
//     line break gets a CR LF first.
//   - Every other byte of the file (comments, unknown sections, text before
//     the first section, broken lines, bytes 128-255, NUL bytes, the line
//     break style of each line) is kept as it is. Added lines end in CR LF.
//   - Writing a value that already reads back as given changes nothing.
//
// NUL is an ordinary byte here, like any other.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace obu::ini {

// The value of the key as the profile functions return it, or nullopt when
// the section or the key is missing. An existing key with nothing after '='
// gives an empty string, not nullopt.
std::optional<std::string> lookup(std::string_view text, std::string_view section,
                                  std::string_view key);

// The whole text after writing `value` under `section` / `key`. The value is
// stored in storedForm() so that lookup() gives it back. `*changed` (when not
// null) tells whether the text differs: it is false when the key already
// reads back as the value (the caller then must not touch the file), and
// false for a key that isStorableKey() refuses (the text is then returned as
// it is; callers check isStorableKey() first to report that).
std::string assign(std::string_view text, std::string_view section, std::string_view key,
                   std::string_view value, bool* changed);

struct Change {
    std::string_view section, key, value;
};

// The text after assign() of every change in turn, with the same bytes as a
// result, but found in one pass over the text and built in one more: a file
// full of foreign sections costs no more per key than its length once.
// `*changed` is true when any one of those assign() calls would have changed
// the text. Keys that isStorableKey() refuses are skipped.
std::string assignAll(std::string_view text, const std::vector<Change>& changes, bool* changed);

// What to write after "key=" so that lookup() returns `value` exactly.
// CR and LF cannot live inside a line, so each one becomes a blank first
// (a value can never add lines to the file). The result is then the value
// itself when it reads back unchanged, or the value wrapped in '"' when it
// would not: blanks at either end, or a matching pair of quotes around it.
std::string storedForm(std::string_view value);

// A key name that, once written, reads back as a key. Refused: names that
// start with ';' (a comment), start with '[' (a section header or a broken
// one) or hold '=' (the name would end there). Names are taken after CR/LF
// became blanks and blanks were trimmed, as for writing.
bool isStorableKey(std::string_view key);

}  // namespace obu::ini
