#include "Midi.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace obu::assets {

namespace {

constexpr int kTicksPerQuarter = 240;
constexpr int kTicksPerEighth = kTicksPerQuarter / 2;

void appendVariableLength(QByteArray& out, unsigned long value) {
    unsigned char bytes[5];
    int n = 0;
    bytes[n++] = value & 0x7F;
    while ((value >>= 7) != 0) bytes[n++] = static_cast<unsigned char>((value & 0x7F) | 0x80);
    while (n > 0) out.append(static_cast<char>(bytes[--n]));
}

void appendBigEndian(QByteArray& out, unsigned long value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

QByteArray message(int status, int a, int b) {
    QByteArray m;
    m.append(static_cast<char>(status));
    m.append(static_cast<char>(a & 0x7F));
    if (b >= 0) m.append(static_cast<char>(b & 0x7F));
    return m;
}

long ticksOf(double eighths) {
    return std::lround(eighths * kTicksPerEighth);
}

}  // namespace

MidiSong::MidiSong(int beatsPerMinute) : m_bpm(beatsPerMinute) {}

void MidiSong::instrument(int channel, int program, int volume, int reverb) {
    m_events.push_back({0, 0, message(0xC0 | channel, program, -1)});
    m_events.push_back({0, 0, message(0xB0 | channel, 7, volume)});
    m_events.push_back({0, 0, message(0xB0 | channel, 91, reverb)});
}

void MidiSong::note(int channel, double startEighth, double eighths, int pitch, int velocity) {
    const long on = ticksOf(startEighth);
    // A hair shorter than written, so that repeated notes are heard as two.
    const long off = std::max(on + 1, ticksOf(startEighth + eighths) - 6);
    m_events.push_back({on, 2, message(0x90 | channel, pitch, velocity)});
    m_events.push_back({off, 1, message(0x80 | channel, pitch, 0)});
}

int MidiSong::line(int channel, int startEighth, const QString& notes, int velocity) {
    int at = startEighth;
    for (const QString& token : notes.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = token.split(QLatin1Char(':'));
        bool ok = parts.size() == 2;
        const int length = ok ? parts[1].toInt(&ok) : 0;
        if (!ok || length <= 0) throw std::invalid_argument("bad note " + token.toStdString());
        if (parts[0] != QLatin1String("r")) {
            const int p = pitch(parts[0]);
            if (p < 0) throw std::invalid_argument("bad pitch " + token.toStdString());
            note(channel, at, length, p, velocity);
        }
        at += length;
    }
    return at;
}

int MidiSong::pitch(const QString& name) {
    static const int kSteps[] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    if (name.size() < 2) return -1;
    const QChar letter = name[0].toLower();
    if (letter < QLatin1Char('a') || letter > QLatin1Char('g')) return -1;
    int value = kSteps[letter.unicode() - 'a'];
    int i = 1;
    if (name[i] == QLatin1Char('#')) {
        ++value;
        ++i;
    } else if (name[i] == QLatin1Char('b') && i + 1 < name.size()) {
        --value;
        ++i;
    }
    bool ok = false;
    const int octave = name.mid(i).toInt(&ok);
    if (!ok || octave < -1 || octave > 9) return -1;
    const int result = 12 * (octave + 1) + value;
    return result >= 0 && result <= 127 ? result : -1;
}

long MidiSong::lastTick() const {
    long last = 0;
    for (const Event& e : m_events) last = std::max(last, e.tick);
    return last;
}

double MidiSong::seconds(double tailEighths) const {
    const double ticks = static_cast<double>(lastTick() + ticksOf(tailEighths));
    return ticks / kTicksPerQuarter * 60.0 / m_bpm;
}

QByteArray MidiSong::toSmf(double tailEighths) const {
    std::vector<Event> events = m_events;
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    QByteArray track;
    // Tempo: microseconds per quarter note.
    track.append('\0');
    track.append("\xFF\x51\x03", 3);
    appendBigEndian(track, 60000000ul / static_cast<unsigned long>(m_bpm), 3);
    // 4/4 time.
    track.append('\0');
    track.append("\xFF\x58\x04\x04\x02\x18\x08", 7);
    long now = 0;
    for (const Event& e : events) {
        appendVariableLength(track, static_cast<unsigned long>(e.tick - now));
        track.append(e.bytes);
        now = e.tick;
    }
    appendVariableLength(track,
                         static_cast<unsigned long>(lastTick() + ticksOf(tailEighths) - now));
    track.append("\xFF\x2F\x00", 3);

    QByteArray smf("MThd", 4);
    appendBigEndian(smf, 6, 4);
    appendBigEndian(smf, 0, 2);  // format 0: one track
    appendBigEndian(smf, 1, 2);
    appendBigEndian(smf, kTicksPerQuarter, 2);
    smf.append("MTrk", 4);
    appendBigEndian(smf, static_cast<unsigned long>(track.size()), 4);
    smf.append(track);
    return smf;
}

}  // namespace obu::assets
