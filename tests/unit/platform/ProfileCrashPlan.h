#pragma once
// The writes that profile_crash_writer makes, so that the crash test knows
// every value the file may hold after a kill.
#include <QByteArray>

namespace obu::test::crash {

constexpr int kSlots = 6;

struct Write {
    int slot;
    QByteArray section, key, value;
};

inline QByteArray sectionOf(int slot) {
    static const char* const names[] = {"Net", "Alarm", "Extras"};
    return names[slot % 3];
}

inline QByteArray keyOf(int slot) {
    return "Key" + QByteArray::number(slot);
}

// The n-th write (from 0) of run `run`. Each run starts at another slot so
// that every key keeps being rewritten; names change case, and lengths and
// quoting change so that the file grows and shrinks.
inline Write planned(int run, long n) {
    Write w;
    w.slot = static_cast<int>((run * 5L + n) % kSlots);
    w.section = sectionOf(w.slot);
    if (n % 2) w.section = w.section.toUpper();
    w.key = keyOf(w.slot);
    if (n % 3 == 0) w.key = w.key.toLower();
    w.value = "run " + QByteArray::number(run) + " write " + QByteArray::number(qlonglong(n)) +
              " slot " + QByteArray::number(w.slot) + ";" +
              QByteArray(static_cast<int>((run * 31L + n * 17L) % 400), char('a' + n % 26));
    if (n % 4 == 1) w.value = "  " + w.value + "  ";
    return w;
}

}  // namespace obu::test::crash
