#include "Tunes.h"

#include <QStringList>
#include <stdexcept>

namespace obu::assets {

namespace {

constexpr int kBar = 8;  // eighths in a bar of 4/4

// A triad named like "F", "Am" or "Bb", with its root in the third octave.
struct Triad {
    int root, third, fifth;
};

Triad triad(const QString& name) {
    const bool minor = name.endsWith(QLatin1Char('m'));
    const QString rootName = (minor ? name.chopped(1) : name).toLower() + QLatin1Char('3');
    const int root = MidiSong::pitch(rootName);
    if (root < 0) throw std::invalid_argument("bad chord " + name.toStdString());
    return {root, root + (minor ? 3 : 4), root + 7};
}

// Writes one melody bar per entry and insists that each fills its bar exactly,
// so a slip in the note lists cannot shift everything after it.
void melody(MidiSong& song, int channel, int firstBar, const QStringList& bars, int velocity) {
    for (int i = 0; i < bars.size(); ++i) {
        const int start = (firstBar + i) * kBar;
        if (song.line(channel, start, bars[i], velocity) != start + kBar)
            throw std::logic_error("bar " + std::to_string(firstBar + i + 1) +
                                   " does not fill its bar");
    }
}

// Sustained chord, close voicing an octave above the triad's root.
void pad(MidiSong& song, int channel, int bar, const QString& chord, int velocity,
         int eighths = kBar) {
    const Triad t = triad(chord);
    for (int p : {t.root + 12, t.third + 12, t.fifth + 12})
        song.note(channel, bar * kBar, eighths, p, velocity);
}

}  // namespace

MidiSong quotationTune() {
    MidiSong song(72);
    song.instrument(0, 10, 110, 60);  // music box
    song.instrument(1, 46, 80, 60);   // harp
    song.instrument(2, 89, 62, 80);   // warm pad

    melody(song, 0, 0,
           {
               "a5:1 c6:1 a5:1 g5:1 f5:2 c5:2",
               "d5:1 f5:1 a5:1 d6:1 c6:2 a5:2",
               "bb5:1 a5:1 g5:1 f5:1 d5:2 f5:2",
               "e5:1 g5:1 c6:1 bb5:1 a5:2 g5:2",
               "a5:1 c6:1 f6:2 d6:1 c6:1 bb5:2",
               "g5:2 e5:1 g5:1 f5:4",
           },
           96);

    // Harp: the chord broken upwards and back, half a bar per chord where two share a bar.
    const QStringList chords = {"F", "Dm", "Bb", "C", "F", "Bb", "C", "F"};
    const int halves[] = {8, 8, 8, 8, 4, 4, 4, 4};
    int at = 0;
    for (int i = 0; i < chords.size(); ++i) {
        const Triad t = triad(chords[i]);
        const int figure[] = {t.root,       t.fifth,      t.root + 12, t.third + 12,
                              t.fifth + 12, t.third + 12, t.root + 12, t.fifth};
        for (int k = 0; k < halves[i]; ++k) song.note(1, at + k, 1, figure[k], k == 0 ? 70 : 54);
        song.note(2, at, halves[i], t.root + 12, 48);
        song.note(2, at, halves[i], t.third + 12, 44);
        song.note(2, at, halves[i], t.fifth + 12, 44);
        at += halves[i];
    }
    // The last chord rings under the closing note.
    pad(song, 2, 6, QStringLiteral("F"), 40, 3);
    song.note(1, at, 3, triad(QStringLiteral("F")).root, 60);
    return song;
}

MidiSong creditsTune() {
    MidiSong song(100);
    song.instrument(0, 4, 108, 50);  // electric piano: the tune
    song.instrument(1, 33, 96, 20);  // finger bass
    song.instrument(2, 48, 68, 70);  // strings
    song.instrument(3, 11, 80, 60);  // vibraphone: broken chords
    song.instrument(9, 0, 84, 30);   // drums

    const QStringList chords = {
        "C",  "Am",                                  // intro
        "C",  "G",  "Am", "F", "C",  "G", "F", "G",  // first theme
        "Am", "Em", "F",  "C", "Dm", "G", "C", "G",  // second theme
        "F",  "G",  "C",  "C",                       // close
    };

    melody(song, 0, 2,
           {
               "e5:2 g5:1 e5:1 d5:2 c5:2",
               "d5:1 e5:1 g5:2 b5:2 a5:1 g5:1",
               "a5:2 c6:1 a5:1 e5:3 r:1",
               "f5:1 g5:1 a5:2 c6:2 a5:2",
               "g5:2 e5:1 g5:1 c6:2 b5:1 a5:1",
               "g5:2 d5:1 e5:1 f5:2 d5:2",
               "c5:1 d5:1 f5:1 a5:1 g5:2 f5:1 e5:1",
               "d5:4 g4:2 r:2",
               "c6:2 b5:1 a5:1 e5:2 a5:2",
               "b5:3 a5:1 g5:2 e5:2",
               "a5:1 g5:1 f5:1 a5:1 c6:3 a5:1",
               "g5:2 e5:2 c5:2 e5:2",
               "d5:1 f5:1 a5:1 d6:1 c6:2 a5:2",
               "b5:2 a5:1 g5:1 d5:2 g5:2",
               "e5:2 g5:1 c6:1 e6:2 d6:1 c6:1",
               "b5:2 a5:2 g5:2 d5:2",
               "a5:2 c6:2 a5:2 f5:2",
               "g5:2 b5:2 d6:2 b5:2",
               "c6:4 g5:2 e5:2",
               "c6:8",
           },
           92);

    const int lastBar = static_cast<int>(chords.size()) - 1;
    for (int bar = 0; bar <= lastBar; ++bar) {
        const Triad t = triad(chords[bar]);
        const int start = bar * kBar;
        pad(song, 2, bar, chords[bar], bar < 2 ? 50 : 42);

        // Bass: root, root, fifth, octave; the intro and the last bar just hold the root.
        const int root = t.root - 12;
        if (bar < 2 || bar == lastBar) {
            song.note(1, start, kBar, root, 70);
        } else {
            song.note(1, start, 3, root, 92);
            song.note(1, start + 3, 1, root, 70);
            song.note(1, start + 4, 2, root + 7, 84);
            song.note(1, start + 6, 2, root + 12, 76);
        }

        // Vibraphone: broken chords in the intro and under the second theme.
        if (bar < 2 || (bar >= 10 && bar < 18)) {
            const int figure[] = {t.root + 12, t.fifth + 12, t.third + 24, t.fifth + 12};
            for (int k = 0; k < kBar; ++k)
                song.note(3, start + k, 1, figure[k % 4], k % 2 ? 40 : 52);
        }

        // Drums from the first theme to the close: hats on the eighths, kick and side stick.
        if (bar >= 2 && bar < lastBar - 1) {
            for (int k = 0; k < kBar; ++k) song.note(9, start + k, 0.5, 42, k % 2 ? 44 : 66);
            song.note(9, start, 0.5, 36, 96);
            song.note(9, start + 4, 0.5, 36, 88);
            song.note(9, start + 2, 0.5, 37, 72);
            const bool fill = bar == 9 || bar == 17;
            if (fill) {
                song.note(9, start + 6, 0.5, 38, 84);
                song.note(9, start + 7, 0.5, 38, 96);
            } else {
                song.note(9, start + 5, 0.5, 36, 64);
                song.note(9, start + 6, 0.5, 37, 72);
            }
        }
    }
    // A crash and a last kick on the closing chord.
    song.note(9, (lastBar - 1) * kBar, 1, 49, 90);
    song.note(9, (lastBar - 1) * kBar, 0.5, 36, 96);
    return song;
}

}  // namespace obu::assets
