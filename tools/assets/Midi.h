#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

namespace obu::assets {

// A Standard MIDI File (format 0) put together from parts. Times are in ticks
// of an eighth note; the file runs at 240 ticks a quarter, so an eighth is 120.
class MidiSong {
public:
    explicit MidiSong(int beatsPerMinute);

    // Sets a channel's instrument (General MIDI program, 0-based), volume and reverb.
    void instrument(int channel, int program, int volume = 100, int reverb = 40);
    // Plays a line of notes, each token "pitch:eighths" or "r:eighths" for a
    // rest, e.g. "e5:2 g5:1 bb4:1 r:4", starting at the given eighth. Pitches
    // are a letter, an optional '#' or 'b', and an octave (c4 is middle C).
    // Returns the eighth after the last note.
    int line(int channel, int startEighth, const QString& notes, int velocity);
    // One note; length in eighths, which may be fractional for drums and grace notes.
    void note(int channel, double startEighth, double eighths, int pitch, int velocity);

    // The whole file. The end comes a little after the last note so that it can ring.
    QByteArray toSmf(double tailEighths = 2) const;
    // Seconds from the start to the end of the track.
    double seconds(double tailEighths = 2) const;

    // Parses one pitch such as "c#5" or "bb3"; -1 if it is not one.
    static int pitch(const QString& name);

private:
    struct Event {
        long tick;
        int order;  // note-offs before note-ons at the same tick
        QByteArray bytes;
    };
    long lastTick() const;

    int m_bpm;
    std::vector<Event> m_events;
};

}  // namespace obu::assets
