#include "platform/IniText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;
using obu::ini::assign;
using obu::ini::lookup;
using obu::ini::storedForm;

const std::string kMissing = "<missing>";

std::string get(const std::string& text, std::string_view section, std::string_view key) {
    return lookup(text, section, key).value_or(kMissing);
}

std::string put(const std::string& text, std::string_view section, std::string_view key,
                std::string_view value, bool* changed = nullptr) {
    bool ignored = false;
    return assign(text, section, key, value, changed ? changed : &ignored);
}

std::size_t countBreaks(const std::string& text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++n;
    }
    return n;
}

TEST(IniTextRead, NamesCompareWithoutCaseForAsciiOnly) {
    const std::string text = "[NetWork]\r\nUserName=bob\r\n[\xC4rger]\r\n\xC4=upper\r\n";
    EXPECT_EQ(get(text, "network", "USERNAME"), "bob");
    EXPECT_EQ(get(text, "NETWORK", "username"), "bob");
    // Bytes above 127 are not letters of any known code page here: 0xC4 and
    // 0xE4 (Latin-1 upper and lower A umlaut) are different names.
    EXPECT_EQ(get(text, "\xC4rger", "\xC4"), "upper");
    EXPECT_EQ(get(text, "\xE4rger", "\xC4"), kMissing);
    EXPECT_EQ(get(text, "\xC4rger", "\xE4"), kMissing);
}

TEST(IniTextRead, BlanksAroundLinesNamesAndValuesAreTrimmed) {
    const std::string text = " \t[ \tNet  ]\t \r\n\t  User \t=\t bob  smith \t\r\n";
    EXPECT_EQ(get(text, "Net", "User"), "bob  smith");
    EXPECT_EQ(get(text, "  Net\t", "\tUser "), "bob  smith");
    EXPECT_EQ(get("[S]\r\nk=\r\nb=  \t\r\n", "S", "k"), "");
    EXPECT_EQ(get("[S]\r\nk=\r\nb=  \t\r\n", "S", "b"), "");
}

TEST(IniTextRead, OnlyOneMatchingPairOfQuotesIsRemoved) {
    const std::string text =
        "[Q]\r\n"
        "dq=\"x y\"\r\n"
        "sq='x y'\r\n"
        "mixed=\"x'\r\n"
        "one=\"\r\n"
        "onesingle='\r\n"
        "empty=\"\"\r\n"
        "blanks=\"  in  \"\r\n"
        "inner=\"a\" b \"c\"\r\n"
        "nested=''''\r\n"
        "trimmedfirst=  \"x\"  \r\n"
        "notwrapped=a\"b\"\r\n";
    EXPECT_EQ(get(text, "Q", "dq"), "x y");
    EXPECT_EQ(get(text, "Q", "sq"), "x y");
    EXPECT_EQ(get(text, "Q", "mixed"), "\"x'");
    EXPECT_EQ(get(text, "Q", "one"), "\"");
    EXPECT_EQ(get(text, "Q", "onesingle"), "'");
    EXPECT_EQ(get(text, "Q", "empty"), "");
    EXPECT_EQ(get(text, "Q", "blanks"), "  in  ");
    EXPECT_EQ(get(text, "Q", "inner"), "a\" b \"c");
    EXPECT_EQ(get(text, "Q", "nested"), "''");
    EXPECT_EQ(get(text, "Q", "trimmedfirst"), "x");
    EXPECT_EQ(get(text, "Q", "notwrapped"), "a\"b\"");
}

TEST(IniTextRead, CommentsLinesWithoutEqualsAndInlineText) {
    const std::string text =
        "[S]\r\n"
        ";hidden=1\r\n"
        "  ; alsohidden=2\r\n"
        "plain line\r\n"
        "#hash=3\r\n"
        "url=http://x/?a=b ; not a comment\r\n"
        "=nameless\r\n";
    EXPECT_EQ(get(text, "S", ";hidden"), kMissing);
    EXPECT_EQ(get(text, "S", "hidden"), kMissing);
    EXPECT_EQ(get(text, "S", "; alsohidden"), kMissing);
    EXPECT_EQ(get(text, "S", "plain line"), kMissing);
    EXPECT_EQ(get(text, "S", "#hash"), "3");  // only ';' starts a comment
    EXPECT_EQ(get(text, "S", "url"), "http://x/?a=b ; not a comment");
    EXPECT_EQ(get(text, "S", ""), "nameless");
}

TEST(IniTextRead, MissingSectionOrKeyAndTextBeforeTheFirstSection) {
    const std::string text = "Loose=1\r\n=2\r\n[]\r\nEmpty=3\r\n[S]\r\nk=v\r\n";
    EXPECT_EQ(get(text, "S", "k"), "v");
    EXPECT_EQ(get(text, "S", "missing"), kMissing);
    EXPECT_EQ(get(text, "Nope", "k"), kMissing);
    // Lines before any header belong to no section, not even the empty one.
    EXPECT_EQ(get(text, "", "Loose"), kMissing);
    EXPECT_EQ(get(text, "", ""), kMissing);
    EXPECT_EQ(get(text, "", "Empty"), "3");
    EXPECT_EQ(get("", "S", "k"), kMissing);
}

TEST(IniTextRead, SectionHeaders) {
    const std::string text =
        "[a]b] trailing text\r\n"
        "k=1\r\n"
        "[Net] ; comment after the header\r\n"
        "k=2\r\n"
        "[Broken\r\n"
        "k2=still in Net\r\n"
        "[Broken2=x\r\n"
        "[Other]\r\n"
        "k=3\r\n";
    EXPECT_EQ(get(text, "a]b", "k"), "1");
    EXPECT_EQ(get(text, "a", "k"), kMissing);
    EXPECT_EQ(get(text, "Net", "k"), "2");
    // A '[' without ']' neither opens a section nor hides what follows it.
    EXPECT_EQ(get(text, "Broken", "k2"), kMissing);
    EXPECT_EQ(get(text, "Net", "k2"), "still in Net");
    EXPECT_EQ(get(text, "Net", "[Broken2"), kMissing);
    EXPECT_EQ(get(text, "Other", "k"), "3");
}

TEST(IniTextRead, FirstSectionAndFirstKeyWin) {
    const std::string text =
        "[S]\r\nk=first\r\nK=second\r\n[T]\r\nk=other\r\n[s]\r\nk=third\r\nonly=later\r\n";
    EXPECT_EQ(get(text, "S", "k"), "first");
    EXPECT_EQ(get(text, "T", "k"), "other");
    EXPECT_EQ(get(text, "S", "only"), kMissing);
}

TEST(IniTextRead, LineBreaksOfEveryKindAndNoFinalBreak) {
    const std::string text = "[A]\r\na=1\nb=2\rc=3\r\r\nd=4\n\re=5\r\n[B]\rlast=6";
    EXPECT_EQ(get(text, "A", "a"), "1");
    EXPECT_EQ(get(text, "A", "b"), "2");
    EXPECT_EQ(get(text, "A", "c"), "3");
    EXPECT_EQ(get(text, "A", "d"), "4");
    EXPECT_EQ(get(text, "A", "e"), "5");
    EXPECT_EQ(get(text, "B", "last"), "6");
    // A lone CR ends a line: the value never carries it.
    EXPECT_EQ(get("[A]\ra=x\ry=z", "A", "a"), "x");
}

TEST(IniTextRead, OddBytesAreOrdinaryBytes) {
    const std::string text = "[S\xFF]\r\nk\x80=\xE9t\xE9\0mid\x01\r\nz\0=nul key\r\n"s;
    EXPECT_EQ(get(text, "S\xFF", "k\x80"), "\xE9t\xE9\0mid\x01"s);
    EXPECT_EQ(get(text, "S\xFF", "z\0"s), "nul key");
}

TEST(IniTextWrite, ExistingKeyChangesInPlaceAndNothingElse) {
    const std::string before =
        "junk before any section\r\n"
        "; comment\n"
        "[Net]\r"
        "  USER = old value  \n"
        "odd\x80\xFF\0bytes\r\n"
        "user=second\r\n"
        "[net]\r\n"
        "user=later section\r\n"s;
    bool changed = false;
    const std::string after = put(before, "Net", "User", "new", &changed);
    EXPECT_TRUE(changed);
    // The key keeps its spelling, its blanks around '=' and its LF ending.
    std::string expected = before;
    const std::string oldLine = "  USER = old value  \n";
    expected.replace(expected.find(oldLine), oldLine.size(), "  USER = new\n");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(get(after, "net", "user"), "new");

    // A quoted value is replaced as a whole.
    EXPECT_EQ(put("[S]\r\nk=\"old\"\r\n", "S", "k", "x"), "[S]\r\nk=x\r\n");
    // The last line without a break stays without one.
    EXPECT_EQ(put("[S]\r\nk=old", "S", "k", "x"), "[S]\r\nk=x");
}

TEST(IniTextWrite, NewKeyGoesAfterTheLastKeyOfTheFirstSectionOfThatName) {
    const std::string before =
        "[A]\r\n"
        "one=1\r\n"
        "; a comment inside\r\n"
        "two=2\r\n"
        "\r\n"
        "; this comment introduces B\r\n"
        "[B]\n"
        "b=1\n"
        "[a]\r\n"
        "later=1\r\n";
    EXPECT_EQ(put(before, "a", "Three", "3"),
              "[A]\r\n"
              "one=1\r\n"
              "; a comment inside\r\n"
              "two=2\r\n"
              "Three=3\r\n"
              "\r\n"
              "; this comment introduces B\r\n"
              "[B]\n"
              "b=1\n"
              "[a]\r\n"
              "later=1\r\n");
    // A first key follows the header, even when blank lines trail it.
    EXPECT_EQ(put("[A]\r\n\r\n[B]\r\n", "A", "k", "v"), "[A]\r\nk=v\r\n\r\n[B]\r\n");
    // A header or key at the very end without a break gets one first.
    EXPECT_EQ(put("[A]", "A", "k", "v"), "[A]\r\nk=v\r\n");
    EXPECT_EQ(put("[A]\r\nx=1", "A", "k", "v"), "[A]\r\nx=1\r\nk=v\r\n");
    // After a lone CR no break is added, and the lone CR stays.
    EXPECT_EQ(put("[A]\rx=1\r[B]\r", "A", "k", "v"), "[A]\rx=1\rk=v\r\n[B]\r");
}

TEST(IniTextWrite, NewSectionGoesAtTheEndWithoutBlankLines) {
    EXPECT_EQ(put("", "Net", "User", "bob"), "[Net]\r\nUser=bob\r\n");
    EXPECT_EQ(put("; c\r\n[A]\r\nx=1\r\n", "Net", "User", "bob"),
              "; c\r\n[A]\r\nx=1\r\n[Net]\r\nUser=bob\r\n");
    EXPECT_EQ(put("[A]\r\nx=1", "Net", "User", "bob"), "[A]\r\nx=1\r\n[Net]\r\nUser=bob\r\n");
    EXPECT_EQ(put("[A]\nx=1\n", "Net", "User", "bob"), "[A]\nx=1\n[Net]\r\nUser=bob\r\n");
    EXPECT_EQ(put("[A]\rx=1\r", "Net", "User", "bob"), "[A]\rx=1\r[Net]\r\nUser=bob\r\n");
    // Names are written trimmed; a key that exists only in text before the
    // first header does not count.
    EXPECT_EQ(put("User=loose\r\n", " Net ", "\tUser ", "bob"),
              "User=loose\r\n[Net]\r\nUser=bob\r\n");
}

TEST(IniTextWrite, WritingTheValueThatIsThereChangesNothing) {
    const std::string text = "[S]\r\nplain= bob \r\nquoted=\"bob\"\r\nblank=\"  \"\r\n";
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"plain", "bob"}, {"QUOTED", "bob"}, {"blank", "  "}}) {
        bool changed = true;
        EXPECT_EQ(put(text, "s", key, value, &changed), text) << key;
        EXPECT_FALSE(changed) << key;
    }
    // A value that only looks alike is a change.
    bool changed = false;
    const std::string after = put(text, "S", "plain", " bob ", &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(get(after, "S", "plain"), " bob ");
}

TEST(IniTextWrite, StoredFormRoundTripsEveryValue) {
    struct Case {
        std::string value, stored, readBack;
    };
    const std::vector<Case> cases = {
        {"", "", ""},
        {"plain text", "plain text", "plain text"},
        {" lead", "\" lead\"", " lead"},
        {"trail\t", "\"trail\t\"", "trail\t"},
        {"\"q\"", "\"\"q\"\"", "\"q\""},
        {"'q'", "\"'q'\"", "'q'"},
        {"\"", "\"", "\""},
        {"'", "'", "'"},
        {"\"q'", "\"q'", "\"q'"},
        {"a\"b", "a\"b", "a\"b"},
        {"a=b ; c", "a=b ; c", "a=b ; c"},
        {"[x]", "[x]", "[x]"},
        {"two\r\nlines", "two  lines", "two  lines"},
        {"\r\n", "\"  \"", "  "},
        {"end\r", "\"end \"", "end "},
        {"\xE9\x80\0"s, "\xE9\x80\0"s, "\xE9\x80\0"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(storedForm(c.value), c.stored);
        for (const std::string& start :
             {""s, "[S]\r\nk=old\r\nafter=1\r\n"s, "[S]\r\nother=1"s, "x=1\r\n[T]\r\n"s}) {
            const std::string after = put(start, "S", "k", c.value);
            EXPECT_EQ(get(after, "S", "k"), c.readBack) << start;
            EXPECT_EQ(get(after, "S", "after"), get(start, "S", "after"));
            EXPECT_LE(countBreaks(after), countBreaks(start) + 2);
            bool changed = true;
            EXPECT_EQ(put(after, "S", "k", c.value, &changed), after);
            EXPECT_FALSE(changed);
        }
    }
}

TEST(IniTextWrite, NamesCannotAddLinesOrHideTheKey) {
    const std::string after = put("", "A\r\n[B]", "k\nx=y", "v");
    // CR and LF in names became blanks: one header, one key, nothing else.
    EXPECT_FALSE(obu::ini::isStorableKey("k\nx=y"));
    EXPECT_EQ(after, "");
    const std::string ok = put("", "A\r\n[B]", "k\r\nx", "v\r\n[C]");
    EXPECT_EQ(ok, "[A  [B]]\r\nk  x=v  [C]\r\n");
    EXPECT_EQ(get(ok, "A\r\n[B]", "k\r\nx"), "v  [C]");
    EXPECT_EQ(get(ok, "B", "x"), kMissing);
    EXPECT_EQ(get(ok, "C", "x"), kMissing);

    // Keys that could never read back are refused and leave the text alone.
    for (const std::string key : {";c", " ;c", "[x", "[x]", "a=b", "="}) {
        bool changed = true;
        EXPECT_FALSE(obu::ini::isStorableKey(key)) << key;
        EXPECT_EQ(put("[S]\r\n", "S", key, "v", &changed), "[S]\r\n") << key;
        EXPECT_FALSE(changed) << key;
    }
    EXPECT_TRUE(obu::ini::isStorableKey(""));
    EXPECT_TRUE(obu::ini::isStorableKey("a[b];c"));
}

// A long random mix of writes with names in every case and spacing, checked
// after each step against a plain map: catches writes that land in the wrong
// section or line, values that do not read back, and lost neighbours.
TEST(IniTextWrite, RandomWritesAgreeWithAPlainMap) {
    const std::string preamble = "; kept\r\nloose=1\r\n[Other]\n\tkeep = \"this\" \n[Broken\r\n";
    const std::vector<std::string> sections = {"Net",     "NET", " net ", "Alarm",
                                               "alarm\t", "x]y", "",      "\xC4"};
    const std::vector<std::string> keys = {"User", "USER", " user ", "Pass", "k\xE4", "", "a b"};
    const std::vector<std::string> values = {"",   "v",      " lead", "trail ", "\"q\"", "'",
                                             "\"", "a\r\nb", "x=y",   "; no",   "[S]",   "\xFF"};
    auto norm = [](std::string s) {
        for (char& c : s) {
            if (c == '\r' || c == '\n') c = ' ';
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        const auto b = s.find_first_not_of(" \t");
        if (b == std::string::npos) return std::string();
        return s.substr(b, s.find_last_not_of(" \t") - b + 1);
    };
    auto mapped = [](std::string s) {
        std::replace(s.begin(), s.end(), '\r', ' ');
        std::replace(s.begin(), s.end(), '\n', ' ');
        return s;
    };

    std::mt19937 rng(20010614);
    std::string text = preamble;
    std::map<std::pair<std::string, std::string>, std::string> model;
    for (int step = 0; step < 3000; ++step) {
        const std::string& s = sections[rng() % sections.size()];
        const std::string& k = keys[rng() % keys.size()];
        const std::string& v = values[rng() % values.size()];
        const auto id = std::make_pair(norm(s), norm(k));
        const auto old = model.find(id);
        const bool expectChange = old == model.end() || old->second != mapped(v);
        bool changed = !expectChange;
        text = put(text, s, k, v, &changed);
        ASSERT_EQ(changed, expectChange) << "step " << step;
        model[id] = mapped(v);
        ASSERT_EQ(text.compare(0, preamble.size(), preamble), 0) << "step " << step;
        for (const auto& [where, value] : model)
            ASSERT_EQ(get(text, where.first, where.second), value) << "step " << step;
        ASSERT_EQ(get(text, "other", "KEEP"), "this");
        ASSERT_EQ(get(text, "", "loose"), kMissing);
    }
}

// Saving many keys at once must give the very bytes of saving them one by
// one: the same places, the same line breaks, the same "changed".
TEST(IniTextWrite, ManyKeysAtOnceGiveTheBytesOfOneByOne) {
    const std::vector<std::string> texts = {
        "",
        "[Net]",
        "[Net]\r\nuser=a",
        "[Net]\nuser=\n",
        "; c\r\n[net]\r\n User = \"a\" \r\n\r\n; trailing\r\n[Alarm]\rtime=1\r[NET]\r\npass=x\r\n",
        "loose=1\n[Other]\nk=v\n[Broken\nuser=b\n[Net]\nuser=b\nuser=c\npass",
    };
    const std::vector<std::string> sections = {"Net", " NET", "Alarm", "New", "new", "Other"};
    const std::vector<std::string> keys = {"User", "user", "Pass", "time", "k", "Fresh", "bad=key"};
    const std::vector<std::string> values = {"", "a", "b", " lead", "\"q\"", "x\ny"};
    std::mt19937 rng(19991231);
    for (const std::string& start : texts) {
        for (int round = 0; round < 400; ++round) {
            std::vector<std::string> owned;
            std::vector<obu::ini::Change> changes;
            const int n = static_cast<int>(rng() % 8);
            owned.reserve(static_cast<std::size_t>(3 * n));
            std::string oneByOne = start;
            bool anyChanged = false;
            for (int i = 0; i < n; ++i) {
                owned.push_back(sections[rng() % sections.size()]);
                owned.push_back(keys[rng() % keys.size()]);
                owned.push_back(values[rng() % values.size()]);
                const auto last = owned.end();
                changes.push_back({last[-3], last[-2], last[-1]});
                bool changed = false;
                oneByOne = put(oneByOne, last[-3], last[-2], last[-1], &changed);
                anyChanged = anyChanged || changed;
            }
            bool changed = !anyChanged;
            ASSERT_EQ(obu::ini::assignAll(start, changes, &changed), oneByOne)
                << "text " << testing::PrintToString(start) << " round " << round;
            ASSERT_EQ(changed, anyChanged) << "round " << round;
        }
    }
}

}  // namespace
