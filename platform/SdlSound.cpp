#include "platform/SdlSound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace obu {

namespace detail {

// The process's one open mixer, shared by the SdlSound and the music devices
// it opened, so that whichever goes last closes the audio.
struct SdlAudio {
    QByteArray soundFont;
    bool tried = false;
    bool open = false;
    // The wave on the mixer's one channel; freed when the next one cuts it off.
    Mix_Chunk* wave = nullptr;
    // The device whose tune holds SDL's single music stream, if any.
    const void* musicOwner = nullptr;

    bool ensureOpen();
    ~SdlAudio();
};

bool SdlAudio::ensureOpen() {
    if (tried) return open;
    tried = true;
    // Qt handles SIGINT and SIGTERM for the program; SDL must not take them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "obu: no sound: %s; sounds and tunes are off\n", SDL_GetError());
        return false;
    }
    // FluidSynth reads the font list whenever a tune is loaded.
    if (!soundFont.isEmpty()) Mix_SetSoundFonts(soundFont.constData());
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
        std::fprintf(stderr, "obu: no sound: %s; sounds and tunes are off\n", Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    // One channel: a new wave always replaces the one playing, as PlaySound does.
    Mix_AllocateChannels(1);
    open = true;
    return true;
}

SdlAudio::~SdlAudio() {
    if (!open) return;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    if (wave) Mix_FreeChunk(wave);
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace detail

namespace {

// SDL's music stream is single, so the device's own idea of where it stands
// is checked against who holds the stream: a tune cut off by another one has
// lost its place and starts again from the beginning.
class SdlMusic : public MusicDevice {
public:
    SdlMusic(std::shared_ptr<detail::SdlAudio> audio, Mix_Music* music, QString fileName)
        : audio_(std::move(audio)), music_(music), fileName_(std::move(fileName)) {}

    ~SdlMusic() override {
        if (holdsStream()) {
            Mix_HaltMusic();
            audio_->musicOwner = nullptr;
        }
        Mix_FreeMusic(music_);
    }

    QString fileName() const override { return fileName_; }

    bool play() override {
        if (holdsStream() && state_ == State::Stopped) {
            Mix_ResumeMusic();
            state_ = State::Playing;
            return true;
        }
        if (isPlaying()) return true;
        // At the start, at the end, or cut off: from the beginning.
        if (Mix_PlayMusic(music_, 1) != 0) {
            state_ = State::AtStart;
            return false;
        }
        audio_->musicOwner = this;
        state_ = State::Playing;
        return true;
    }

    bool isPlaying() override {
        return holdsStream() && state_ == State::Playing && Mix_PlayingMusic() &&
               !Mix_PausedMusic();
    }

    bool stop() override {
        if (isPlaying()) {
            Mix_PauseMusic();
            state_ = State::Stopped;
        }
        return true;
    }

    bool seekToStart() override {
        // Halting drops the position; the next play starts the tune afresh.
        if (holdsStream()) {
            Mix_HaltMusic();
            audio_->musicOwner = nullptr;
        }
        state_ = State::AtStart;
        return true;
    }

private:
    enum class State { AtStart, Playing, Stopped };

    bool holdsStream() const { return audio_->musicOwner == this; }

    std::shared_ptr<detail::SdlAudio> audio_;
    Mix_Music* music_;
    QString fileName_;
    State state_ = State::AtStart;
};

}  // namespace

SdlSound::SdlSound(QString folder, QString soundFont)
    : folder_(std::move(folder)), audio_(std::make_shared<detail::SdlAudio>()) {
    audio_->soundFont = QFile::encodeName(soundFont);
}

SdlSound::~SdlSound() = default;

QString SdlSound::defaultSoundFont() {
    const QString fromEnvironment = qEnvironmentVariable("SDL_SOUNDFONTS");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    // The small font loads in a blink; the system's chosen General MIDI font
    // (often a large one) serves where the small one is not installed.
    const QString small = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");
    const QString systemDefault = QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2");
    if (!QFileInfo::exists(small) && QFileInfo::exists(systemDefault)) return systemDefault;
    return small;
}

bool SdlSound::available() {
    return audio_->ensureOpen();
}

QString SdlSound::pathOf(const QString& fileName) const {
    if (QDir::isAbsolutePath(fileName)) return fileName;
    return QDir(folder_).filePath(fileName);
}

bool SdlSound::playWave(const QString& fileName) {
    if (fileName.isEmpty() || !audio_->ensureOpen()) return false;
    const QString path = pathOf(fileName);
    // SDL would take a folder for a file and fail less plainly.
    if (!QFileInfo(path).isFile()) return false;
    Mix_Chunk* chunk = Mix_LoadWAV(QFile::encodeName(path).constData());
    if (!chunk) return false;
    // Halting waits for the mixer to let go of the old chunk, so it can be freed.
    Mix_HaltChannel(0);
    if (audio_->wave) Mix_FreeChunk(audio_->wave);
    audio_->wave = chunk;
    return Mix_PlayChannel(0, chunk, 0) == 0;
}

std::unique_ptr<MusicDevice> SdlSound::openMusic(const QString& fileName) {
    if (fileName.isEmpty() || !audio_->ensureOpen()) return nullptr;
    const QString path = pathOf(fileName);
    if (!QFileInfo(path).isFile()) return nullptr;
    Mix_Music* music = Mix_LoadMUS(QFile::encodeName(path).constData());
    if (!music) return nullptr;
    return std::make_unique<SdlMusic>(audio_, music, fileName);
}

}  // namespace obu
