#pragma once
#include <QByteArray>
#include <vector>

namespace obu::assets {

// A mono sound, samples from -1 to 1.
struct Wave {
    int rate = 22050;
    std::vector<float> samples;

    double seconds() const { return static_cast<double>(samples.size()) / rate; }
    // A RIFF WAVE file, 16-bit PCM.
    QByteArray toWav() const;
};

// A short, dry click for small controls.
Wave clickSound();
// A soft knock as a skin button goes down.
Wave buttonDownSound();
// A lighter tick as it comes back up.
Wave buttonUpSound();
// A rising chime of four bell strokes, about two seconds, for the alarm.
Wave alarmChime();

}  // namespace obu::assets
