#pragma once
#include <memory>

#include "platform/Sound.h"

namespace obu {

namespace detail {
struct SdlAudio;
}

// Sounds and tunes through SDL2_mixer. Wave files play on a single mixer
// channel, so a new sound cuts off the one before; MIDI tunes are rendered by
// FluidSynth with a General MIDI sound font.
//
// Nothing costs anything while all is silent: the audio device is opened
// when something plays and closed soon after the last sound has ended (by a
// timer of the Qt event loop), and a tune is read, with its sound font, when
// it first plays; only the tune that last played keeps its synthesizer. So
// the program starts without loading a font and exits without a device to
// drain. The sound libraries themselves (SDL2_mixer, SDL2 and the codec and
// sound-server libraries they bring) are loaded with the first sound too. If the device cannot be
// opened (no driver, no device, no server), that is said once on standard error and every later
// call quietly fails. SDL installs no signal handlers of its own and calls nothing of ours from its
// audio thread.
//
// Only one SdlSound may be alive at a time (SDL's mixer is one per process).
// Music devices it opened may outlive it; they keep the audio open until the
// last of them is gone.
class SdlSound : public Sound {
public:
    // folder: where bare file names are looked up (a trailing '/' is optional).
    // soundFont: the FluidSynth sound font (.sf2) for tunes; see defaultSoundFont().
    explicit SdlSound(QString folder, const QString& soundFont = defaultSoundFont());
    ~SdlSound() override;
    SdlSound(const SdlSound&) = delete;
    SdlSound& operator=(const SdlSound&) = delete;

    bool playWave(const QString& fileName) override;
    std::unique_ptr<MusicDevice> openMusic(const QString& fileName) override;

    // Opens the audio device (for a moment, as a sound would); true when it could.
    bool available();

    // The sound font named by SDL_SOUNDFONTS when that is set, otherwise the
    // small General MIDI font of the timgm6mb-soundfont package, or failing
    // that the system's default General MIDI font.
    static QString defaultSoundFont();

private:
    QString pathOf(const QString& fileName) const;

    QString m_folder;
    std::shared_ptr<detail::SdlAudio> m_audio;
};

}  // namespace obu
