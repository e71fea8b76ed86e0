#include "platform/IniText.h"

#include <algorithm>
#include <cstddef>
#include <map>

namespace obu::ini {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isBreak(char c) {
    return c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && isBlank(s[b])) ++b;
    std::size_t e = s.size();
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

std::string_view unquoted(std::string_view v) {
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
        return v.substr(1, v.size() - 2);
    return v;
}

std::string breaksToBlanks(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (isBreak(c)) c = ' ';
    return out;
}

std::string normalName(std::string_view name) {
    return std::string(trimmed(breaksToBlanks(name)));
}

enum class Kind { Other, Section, Key };

struct Line {
    std::size_t end = 0;   // where the content ends and the line break starts
    std::size_t next = 0;  // first byte after the line break; == end when there is none
    Kind kind = Kind::Other;
    std::string_view name;       // section or key name, trimmed
    std::size_t valueBegin = 0;  // key lines: the value's first byte, after the blanks past '='
    std::string_view value;      // key lines: the value trimmed, quotes still on
};

// Walks the text line by line and classifies each line.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool next(Line& line) {
        if (m_pos >= m_text.size()) return false;
        const std::size_t begin = m_pos;
        std::size_t end = begin;
        while (end < m_text.size() && !isBreak(m_text[end])) ++end;
        std::size_t after = end;
        if (after < m_text.size()) {
            after +=
                (m_text[after] == '\r' && after + 1 < m_text.size() && m_text[after + 1] == '\n')
                    ? 2
                    : 1;
        }
        m_pos = after;

        line = Line{};
        line.end = end;
        line.next = after;

        const std::string_view content = m_text.substr(begin, end - begin);
        const std::string_view t = trimmed(content);
        if (t.empty() || t.front() == ';') return true;
        if (t.front() == '[') {
            const std::size_t close = t.rfind(']');
            if (close != std::string_view::npos) {
                line.kind = Kind::Section;
                line.name = trimmed(t.substr(1, close - 1));
            }
            return true;
        }
        const std::size_t eq = t.find('=');
        if (eq == std::string_view::npos) return true;
        line.kind = Kind::Key;
        line.name = trimmed(t.substr(0, eq));
        std::string_view rest = t.substr(eq + 1);
        std::size_t lead = 0;
        while (lead < rest.size() && isBlank(rest[lead])) ++lead;
        line.value = rest.substr(lead);  // t is already trimmed at its end
        const std::size_t tBegin = static_cast<std::size_t>(t.data() - m_text.data());
        line.valueBegin = tBegin + eq + 1 + lead;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

struct Place {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;
    // Where a new key of the section goes, and whether the line before it
    // lacks a line break (only possible at the very end of the text).
    std::size_t insertAt = 0;
    bool insertNeedsBreak = false;
};

// Both names already normalised.
Place locate(std::string_view text, std::string_view section, std::string_view key) {
    Place p;
    LineReader reader(text);
    Line line;
    bool inside = false;
    while (reader.next(line)) {
        if (line.kind == Kind::Section) {
            if (inside) break;  // later sections of the same name are never seen
            if (sameName(line.name, section)) {
                inside = true;
                p.sectionFound = true;
                p.insertAt = line.next;
                p.insertNeedsBreak = line.next == line.end;
            }
            continue;
        }
        if (!inside || line.kind != Kind::Key) continue;
        if (sameName(line.name, key)) {
            p.keyFound = true;
            p.keyLine = line;
            return p;
        }
        p.insertAt = line.next;
        p.insertNeedsBreak = line.next == line.end;
    }
    return p;
}

}  // namespace

std::optional<std::string> lookup(std::string_view text, std::string_view section,
                                  std::string_view key) {
    const Place p = locate(text, normalName(section), normalName(key));
    if (!p.keyFound) return std::nullopt;
    return std::string(unquoted(p.keyLine.value));
}

std::string storedForm(std::string_view value) {
    std::string v = breaksToBlanks(value);
    const bool needsQuotes =
        !v.empty() && (isBlank(v.front()) || isBlank(v.back()) || unquoted(v).size() != v.size());
    if (!needsQuotes) return v;
    return '"' + v + '"';
}

bool isStorableKey(std::string_view key) {
    const std::string k = normalName(key);
    if (!k.empty() && (k.front() == ';' || k.front() == '[')) return false;
    return k.find('=') == std::string::npos;
}

std::string assign(std::string_view text, std::string_view section, std::string_view key,
                   std::string_view value, bool* changed) {
    bool ignored = false;
    bool& didChange = changed ? *changed : ignored;
    didChange = false;
    if (!isStorableKey(key)) return std::string(text);

    const std::string s = normalName(section);
    const std::string k = normalName(key);
    const std::string wanted = breaksToBlanks(value);
    const Place p = locate(text, s, k);

    std::string out;
    if (p.keyFound) {
        if (unquoted(p.keyLine.value) == wanted) return std::string(text);
        const std::string stored = storedForm(wanted);
        out.reserve(text.size() + stored.size());
        out.append(text.substr(0, p.keyLine.valueBegin));
        out.append(stored);
        out.append(text.substr(p.keyLine.end));
    } else {
        const std::string line = k + '=' + storedForm(wanted) + "\r\n";
        if (p.sectionFound) {
            out.reserve(text.size() + line.size() + 2);
            out.append(text.substr(0, p.insertAt));
            if (p.insertNeedsBreak) out.append("\r\n");
            out.append(line);
            out.append(text.substr(p.insertAt));
        } else {
            out.reserve(text.size() + s.size() + line.size() + 6);
            out.append(text);
            if (!text.empty() && !isBreak(text.back())) out.append("\r\n");
            out.append("[").append(s).append("]\r\n").append(line);
        }
    }
    didChange = true;
    return out;
}

namespace {

std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = asciiLower(c);
    return out;
}

// One section that the changes name, as assign() would find it.
struct Target {
    std::string name;  // as first written, for a section that is new
    bool found = false;
    std::size_t insertAt = 0;
    bool insertNeedsBreak = false;
    // The first line of each key present in the section, by folded name.
    std::map<std::string, Line> lines;
    // The changes' keys in the order of their first change.
    std::vector<std::string> order;
    struct Key {
        std::string name;  // as first written, for a key that is new
        std::string stored;
        bool changed = false;
        // Storing an empty value leaves the blanks after '=' at the end of
        // the line, where the next change of the value takes them away.
        bool emptied = false;
        bool fromEquals = false;
    };
    std::map<std::string, Key> keys;
};

using Targets = std::map<std::string, Target>;

// The sections that the changes name, in the order of their first change.
std::vector<Target*> collectTargets(const std::vector<Change>& changes, Targets& targets) {
    std::vector<Target*> sectionOrder;
    for (const Change& c : changes) {
        if (!isStorableKey(c.key)) continue;
        const std::string s = normalName(c.section);
        auto [it, added] = targets.try_emplace(folded(s));
        if (added) {
            it->second.name = s;
            sectionOrder.push_back(&it->second);
        }
    }
    return sectionOrder;
}

// One pass: the first section of each name the changes use, its first line
// of each key, and where a new key would go.
void findLines(std::string_view text, Targets& targets) {
    LineReader reader(text);
    Line line;
    Target* inside = nullptr;
    while (reader.next(line)) {
        if (line.kind == Kind::Section) {
            inside = nullptr;
            const auto it = targets.find(folded(line.name));
            if (it != targets.end() && !it->second.found) {
                inside = &it->second;
                inside->found = true;
                inside->insertAt = line.next;
                inside->insertNeedsBreak = line.next == line.end;
            }
            continue;
        }
        if (!inside || line.kind != Kind::Key) continue;
        inside->lines.try_emplace(folded(line.name), line);
        inside->insertAt = line.next;
        inside->insertNeedsBreak = line.next == line.end;
    }
}

// Each key's changes in turn, as assign() would make them.
void applyChanges(const std::vector<Change>& changes, Targets& targets) {
    for (const Change& c : changes) {
        if (!isStorableKey(c.key)) continue;
        Target& t = targets.find(folded(normalName(c.section)))->second;
        const std::string k = normalName(c.key);
        const std::string fk = folded(k);
        const std::string wanted = breaksToBlanks(c.value);
        auto [it, added] = t.keys.try_emplace(fk);
        Target::Key& key = it->second;
        if (added) {
            key.name = k;
            t.order.push_back(fk);
        }
        // What the key reads as now: an earlier change's value, or the file's.
        std::optional<std::string_view> now;
        if (key.changed) {
            now = unquoted(key.stored);
        } else if (const auto line = t.lines.find(fk); line != t.lines.end()) {
            now = unquoted(line->second.value);
        }
        if (now && *now == wanted) continue;
        key.stored = storedForm(wanted);
        key.changed = true;
        key.fromEquals = key.emptied;
        key.emptied = key.emptied || key.stored.empty();
    }
}

struct Edit {
    std::size_t from, to;
    std::string bytes;
};

// The edits in the text's order: new values in place, new keys after the
// last key of their section; new sections go to `appended`. False when no
// key changes.
bool makeEdits(std::string_view text, const std::vector<Target*>& sectionOrder,
               std::vector<Edit>& edits, std::string& appended) {
    bool anyChange = false;
    for (Target* t : sectionOrder) {
        std::string newKeys;
        for (const std::string& fk : t->order) {
            const Target::Key& key = t->keys[fk];
            if (!key.changed) continue;
            anyChange = true;
            const auto line = t->lines.find(fk);
            if (t->found && line != t->lines.end()) {
                std::size_t from = line->second.valueBegin;
                if (key.fromEquals)
                    while (isBlank(text[from - 1])) --from;
                edits.push_back({from, line->second.end, key.stored});
            } else
                newKeys.append(key.name).append("=").append(key.stored).append("\r\n");
        }
        if (newKeys.empty()) continue;
        if (t->found)
            edits.push_back(
                {t->insertAt, t->insertAt,
                 (t->insertNeedsBreak ? std::string("\r\n") : std::string()) + newKeys});
        else
            appended.append("[").append(t->name).append("]\r\n").append(newKeys);
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.from < b.from; });
    return anyChange;
}

std::string splice(std::string_view text, const std::vector<Edit>& edits,
                   const std::string& appended) {
    std::string out;
    std::size_t size = text.size() + appended.size() + 2;
    for (const Edit& e : edits) size += e.bytes.size();
    out.reserve(size);
    std::size_t at = 0;
    for (const Edit& e : edits) {
        out.append(text.substr(at, e.from - at));
        out.append(e.bytes);
        at = e.to;
    }
    out.append(text.substr(at));
    if (!appended.empty()) {
        if (!out.empty() && !isBreak(out.back())) out.append("\r\n");
        out.append(appended);
    }
    return out;
}

}  // namespace

std::string assignAll(std::string_view text, const std::vector<Change>& changes, bool* changed) {
    bool ignored = false;
    bool& didChange = changed ? *changed : ignored;
    didChange = false;

    Targets targets;
    const std::vector<Target*> sectionOrder = collectTargets(changes, targets);
    if (targets.empty()) return std::string(text);
    findLines(text, targets);
    applyChanges(changes, targets);
    std::vector<Edit> edits;
    std::string appended;
    didChange = makeEdits(text, sectionOrder, edits, appended);
    if (!didChange) return std::string(text);
    return splice(text, edits, appended);
}

}  // namespace obu::ini
