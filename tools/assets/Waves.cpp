#include "Waves.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace obu::assets {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// A fixed-seed noise source, so that every run writes the same files.
class Noise {
public:
    float next() {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<float>(m_state >> 8) / static_cast<float>(1u << 24) * 2.0f - 1.0f;
    }

private:
    std::uint32_t m_state = 0x2545F491u;
};

Wave silence(double seconds, int rate = 22050) {
    Wave w;
    w.rate = rate;
    w.samples.assign(static_cast<size_t>(seconds * rate), 0.0f);
    return w;
}

// Scales to the given peak and closes with a short fade so the sound never ends on a step.
void finish(Wave& w, float peak, double fadeSeconds = 0.004) {
    float max = 0;
    for (float s : w.samples) max = std::max(max, std::abs(s));
    if (max > 0)
        for (float& s : w.samples) s *= peak / max;
    const size_t fade = std::min(w.samples.size(), static_cast<size_t>(fadeSeconds * w.rate));
    for (size_t i = 0; i < fade; ++i)
        w.samples[w.samples.size() - 1 - i] *= static_cast<float>(i) / fade;
}

void appendLe(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

QByteArray Wave::toWav() const {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    QByteArray out("RIFF", 4);
    appendLe(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ", 8);
    appendLe(out, 16, 4);
    appendLe(out, 1, 2);  // PCM
    appendLe(out, 1, 2);  // mono
    appendLe(out, static_cast<std::uint32_t>(rate), 4);
    appendLe(out, static_cast<std::uint32_t>(rate * 2), 4);
    appendLe(out, 2, 2);
    appendLe(out, 16, 2);
    out.append("data", 4);
    appendLe(out, dataBytes, 4);
    for (float s : samples) {
        const auto v =
            static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
        appendLe(out, static_cast<std::uint16_t>(v), 2);
    }
    return out;
}

Wave clickSound() {
    Wave w = silence(0.022);
    Noise noise;
    float low = 0;
    for (size_t i = 0; i < w.samples.size(); ++i) {
        const double t = static_cast<double>(i) / w.rate;
        // High-passed noise (noise minus its own slow average) and a bright partial.
        const float n = noise.next();
        low += 0.25f * (n - low);
        const double tick = std::sin(kTwoPi * 3100 * t) * std::exp(-t / 0.0025);
        const double body = std::sin(kTwoPi * 1250 * t) * std::exp(-t / 0.005) * 0.5;
        w.samples[i] = static_cast<float>((n - low) * std::exp(-t / 0.0015) * 0.8 + tick + body);
    }
    finish(w, 0.55f);
    return w;
}

Wave buttonDownSound() {
    Wave w = silence(0.070);
    Noise noise;
    double phase = 0;
    for (size_t i = 0; i < w.samples.size(); ++i) {
        const double t = static_cast<double>(i) / w.rate;
        // A knock whose pitch falls as it dies away.
        const double frequency = 260 + 300 * std::exp(-t / 0.012);
        phase += kTwoPi * frequency / w.rate;
        const double knock = std::sin(phase) * std::exp(-t / 0.016);
        const double contact = noise.next() * std::exp(-t / 0.0018) * 0.6;
        w.samples[i] = static_cast<float>(knock + contact);
    }
    finish(w, 0.62f);
    return w;
}

Wave buttonUpSound() {
    Wave w = silence(0.045);
    Noise noise;
    double phase = 0;
    for (size_t i = 0; i < w.samples.size(); ++i) {
        const double t = static_cast<double>(i) / w.rate;
        const double frequency = 820 + 260 * (1 - std::exp(-t / 0.01));
        phase += kTwoPi * frequency / w.rate;
        const double tick = std::sin(phase) * std::exp(-t / 0.008);
        const double contact = noise.next() * std::exp(-t / 0.001) * 0.35;
        w.samples[i] = static_cast<float>(tick + contact);
    }
    finish(w, 0.45f);
    return w;
}

Wave alarmChime() {
    Wave w = silence(2.0);
    // Bell partials: ratios, loudness and how long each rings.
    struct Partial {
        double ratio, gain, decay;
    };
    const Partial partials[] = {{1.0, 1.0, 0.70},
                                {2.0, 0.55, 0.40},
                                {2.76, 0.30, 0.25},
                                {4.07, 0.18, 0.15},
                                {5.40, 0.10, 0.09}};
    const double strokes[][2] = {{0.00, 783.99}, {0.20, 1046.50}, {0.40, 1318.51}, {0.60, 1567.98}};
    for (const auto& stroke : strokes) {
        const double start = stroke[0], frequency = stroke[1];
        for (size_t i = static_cast<size_t>(start * w.rate); i < w.samples.size(); ++i) {
            const double t = static_cast<double>(i) / w.rate - start;
            const double attack = std::min(1.0, t / 0.002);
            double s = 0;
            for (const Partial& p : partials)
                s += p.gain * std::sin(kTwoPi * frequency * p.ratio * t) * std::exp(-t / p.decay);
            w.samples[i] += static_cast<float>(attack * s);
        }
    }
    finish(w, 0.8f, 0.05);
    return w;
}

}  // namespace obu::assets
