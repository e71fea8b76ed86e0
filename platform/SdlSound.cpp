#include "platform/SdlSound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include <dlfcn.h>
#include <vector>

namespace obu {

namespace {

// The sound libraries (SDL2_mixer, SDL2 and the many codec and sound-server
// libraries they bring) are loaded with the first sound rather than with
// the program: a start and a silent run never map them.
#define OBU_SDL_FUNCTIONS(X) \
    X(SDL_SetHint)           \
    X(SDL_InitSubSystem)     \
    X(SDL_QuitSubSystem)     \
    X(SDL_GetError)          \
    X(SDL_RWFromFile)        \
    X(Mix_SetSoundFonts)     \
    X(Mix_OpenAudio)         \
    X(Mix_AllocateChannels)  \
    X(Mix_HaltChannel)       \
    X(Mix_HaltMusic)         \
    X(Mix_FreeChunk)         \
    X(Mix_CloseAudio)        \
    X(Mix_Quit)              \
    X(Mix_ResumeMusic)       \
    X(Mix_PlayMusic)         \
    X(Mix_PlayingMusic)      \
    X(Mix_PausedMusic)       \
    X(Mix_PauseMusic)        \
    X(Mix_FreeMusic)         \
    X(Mix_LoadMUS)           \
    X(Mix_Playing)           \
    X(Mix_LoadWAV_RW)        \
    X(Mix_PlayChannelTimed)

struct SdlApi {
// The argument names the member it declares, which no parentheses may enclose.
#define OBU_SDL_POINTER(name) \
    decltype(&::name) name = nullptr;  // NOLINT(bugprone-macro-parentheses)
    OBU_SDL_FUNCTIONS(OBU_SDL_POINTER)
#undef OBU_SDL_POINTER
    bool loaded = false;
};

SdlApi& sdl() {
    static SdlApi api;
    return api;
}

// Loads the libraries once; on failure `why` tells the reason.
bool loadSdl(QByteArray& why) {
    SdlApi& api = sdl();
    if (api.loaded) return true;
    void* library = ::dlopen(OBU_SDL_MIXER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        why = ::dlerror();
        return false;
    }
#define OBU_SDL_RESOLVE(name)                                                \
    api.name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name)); \
    if (!api.name) {                                                         \
        why = QByteArray(OBU_SDL_MIXER_LIBRARY) + " lacks " #name;           \
        return false;                                                        \
    }
    OBU_SDL_FUNCTIONS(OBU_SDL_RESOLVE)
#undef OBU_SDL_RESOLVE
    api.loaded = true;
    return true;
}

}  // namespace

namespace detail {

// The process's one mixer, shared by the SdlSound and the music devices it
// opened, so that whichever goes last lets go of the audio.
//
// Nothing is opened while all is silent: the audio device (and the audio
// thread that wakes many times a second while it is open) comes up at the
// first sound and goes again soon after the last one has ended. A tune's
// synthesizer, with its sound font, is loaded when the tune first plays and
// kept while it holds SDL's single music stream; the tune that takes the
// stream over frees it, so there is never more than one.
// An open tune as the mixer sees it.
class Tune {
public:
    // Stopped with its place kept on the music stream.
    virtual bool paused() const = 0;
    // Frees the tune's synthesizer unless it holds the stream.
    virtual void release() = 0;

protected:
    ~Tune() = default;
};

struct SdlAudio {
    QByteArray soundFont;
    // Set when the audio could not be opened: said once, never tried again.
    bool unavailable = false;
    bool open = false;
    // The wave on the mixer's one channel; freed when the next one cuts it off.
    Mix_Chunk* wave = nullptr;
    // The tune that holds SDL's single music stream, if any.
    Tune* musicOwner = nullptr;
    std::vector<Tune*> tunes;
    std::unique_ptr<QTimer> silence;

    bool ensureOpen();
    void closeWhenSilent();
    void close();
    ~SdlAudio();
};

namespace {

// How often an open device looks whether anything still sounds; it closes
// at the first look that finds silence.
constexpr int kSilenceCheckMs = 1500;

void sayNoSound(const char* why) {
    std::fprintf(stderr, "obu: no sound: %s; sounds and tunes are off\n", why);
}

}  // namespace

bool SdlAudio::ensureOpen() {
    if (open) return true;
    if (unavailable) return false;
    QByteArray why;
    if (!loadSdl(why)) {
        sayNoSound(why.constData());
        unavailable = true;
        return false;
    }
    // Qt handles SIGINT and SIGTERM for the program; SDL must not take them.
    sdl().SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (sdl().SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        sayNoSound(sdl().SDL_GetError());
        unavailable = true;
        return false;
    }
    // FluidSynth reads the font list whenever a tune is loaded.
    if (!soundFont.isEmpty()) sdl().Mix_SetSoundFonts(soundFont.constData());
    if (sdl().Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
        sayNoSound(sdl().SDL_GetError());
        sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
        unavailable = true;
        return false;
    }
    // One channel: a new wave always replaces the one playing.
    sdl().Mix_AllocateChannels(1);
    open = true;
    closeWhenSilent();
    return true;
}

void SdlAudio::closeWhenSilent() {
    // Without an event loop (a program that never runs one) the device stays
    // open until the end, as it would have anyway.
    if (!QCoreApplication::instance()) return;
    if (!silence) {
        silence = std::make_unique<QTimer>();
        silence->setInterval(kSilenceCheckMs);
        silence->setTimerType(Qt::VeryCoarseTimer);
        QObject::connect(silence.get(), &QTimer::timeout, [this] {
            // A paused tune keeps its place on the open stream.
            const bool paused = musicOwner && musicOwner->paused();
            if (open && sdl().Mix_Playing(-1) == 0 && sdl().Mix_PlayingMusic() == 0 && !paused)
                close();
        });
    }
    silence->start();
}

void SdlAudio::close() {
    if (silence) silence->stop();
    if (!open) return;
    sdl().Mix_HaltChannel(-1);
    sdl().Mix_HaltMusic();
    musicOwner = nullptr;
    for (Tune* tune : tunes) tune->release();
    if (wave) sdl().Mix_FreeChunk(wave);
    wave = nullptr;
    sdl().Mix_CloseAudio();
    sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
    open = false;
}

SdlAudio::~SdlAudio() {
    close();
    if (sdl().loaded) sdl().Mix_Quit();
}

}  // namespace detail

namespace {

// A MIDI file by its first bytes: a Standard MIDI File or one wrapped in RIFF.
bool looksLikeMidi(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(12);
    return head.startsWith("MThd") || (head.startsWith("RIFF") && head.mid(8, 4) == "RMID");
}

// SDL's music stream is single, so the device's own idea of where it stands
// is checked against who holds the stream: a tune cut off by another one has
// lost its place and starts again from the beginning.
class SdlMusic final : public MusicDevice, private detail::Tune {
public:
    SdlMusic(std::shared_ptr<detail::SdlAudio> audio, QString path, QString fileName)
        : m_audio(std::move(audio)), m_path(std::move(path)), m_fileName(std::move(fileName)) {
        m_audio->tunes.push_back(this);
    }

    ~SdlMusic() override {
        if (holdsStream()) {
            sdl().Mix_HaltMusic();
            m_audio->musicOwner = nullptr;
        }
        release();
        std::erase(m_audio->tunes, static_cast<detail::Tune*>(this));
    }

    QString fileName() const override { return m_fileName; }

    bool play() override {
        if (holdsStream() && m_state == State::Stopped) {
            sdl().Mix_ResumeMusic();
            m_state = State::Playing;
            m_audio->closeWhenSilent();
            return true;
        }
        if (isPlaying()) return true;
        // At the start, at the end, or cut off: from the beginning.
        m_state = State::AtStart;
        if (!m_audio->ensureOpen() || !load()) return false;
        if (sdl().Mix_PlayMusic(m_music, 1) != 0) return false;
        m_audio->musicOwner = this;
        m_state = State::Playing;
        m_audio->closeWhenSilent();
        return true;
    }

    bool isPlaying() override {
        return holdsStream() && m_state == State::Playing && sdl().Mix_PlayingMusic() &&
               !sdl().Mix_PausedMusic();
    }

    bool stop() override {
        if (isPlaying()) {
            sdl().Mix_PauseMusic();
            m_state = State::Stopped;
        }
        return true;
    }

    bool seekToStart() override {
        // Halting drops the position; the next play starts the tune afresh.
        if (holdsStream()) {
            sdl().Mix_HaltMusic();
            m_audio->musicOwner = nullptr;
        }
        m_state = State::AtStart;
        return true;
    }

private:
    enum class State { AtStart, Playing, Stopped };

    bool holdsStream() const {
        return m_audio->musicOwner == static_cast<const detail::Tune*>(this);
    }

    // The tune and its synthesizer; the one that held the stream before
    // lets go of its own, having lost its place anyway.
    bool load() {
        if (m_music) return true;
        if (m_audio->musicOwner) {
            sdl().Mix_HaltMusic();
            m_audio->musicOwner = nullptr;
        }
        for (detail::Tune* tune : m_audio->tunes) tune->release();
        m_music = sdl().Mix_LoadMUS(QFile::encodeName(m_path).constData());
        return m_music != nullptr;
    }

    bool paused() const override { return m_state == State::Stopped; }

    void release() override {
        if (!m_music || holdsStream()) return;
        sdl().Mix_FreeMusic(m_music);
        m_music = nullptr;
    }

    std::shared_ptr<detail::SdlAudio> m_audio;
    QString m_path;
    QString m_fileName;
    Mix_Music* m_music = nullptr;
    State m_state = State::AtStart;
};

}  // namespace

SdlSound::SdlSound(QString folder, const QString& soundFont)
    : m_folder(std::move(folder)), m_audio(std::make_shared<detail::SdlAudio>()) {
    m_audio->soundFont = QFile::encodeName(soundFont);
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
    return m_audio->ensureOpen();
}

QString SdlSound::pathOf(const QString& fileName) const {
    if (QDir::isAbsolutePath(fileName)) return fileName;
    return QDir(m_folder).filePath(fileName);
}

bool SdlSound::playWave(const QString& fileName) {
    if (fileName.isEmpty() || m_audio->unavailable) return false;
    const QString path = pathOf(fileName);
    // SDL would take a folder for a file and fail less plainly.
    if (!QFileInfo(path).isFile() || !m_audio->ensureOpen()) return false;
    Mix_Chunk* chunk =
        sdl().Mix_LoadWAV_RW(sdl().SDL_RWFromFile(QFile::encodeName(path).constData(), "rb"), 1);
    if (!chunk) return false;
    // Halting waits for the mixer to let go of the old chunk, so it can be freed.
    sdl().Mix_HaltChannel(0);
    if (m_audio->wave) sdl().Mix_FreeChunk(m_audio->wave);
    m_audio->wave = chunk;
    m_audio->closeWhenSilent();
    return sdl().Mix_PlayChannelTimed(0, chunk, 0, -1) == 0;
}

std::unique_ptr<MusicDevice> SdlSound::openMusic(const QString& fileName) {
    if (fileName.isEmpty() || m_audio->unavailable) return nullptr;
    const QString path = pathOf(fileName);
    // Checked now so that a tune that could never play opens no device;
    // the file is read and the font loaded when the tune first plays.
    if (!QFileInfo(path).isFile() || !looksLikeMidi(path)) return nullptr;
    const QString font = QFile::decodeName(m_audio->soundFont);
    for (const QString& one : font.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!QFileInfo(one).isFile()) return nullptr;
    if (font.isEmpty()) return nullptr;
    return std::make_unique<SdlMusic>(m_audio, path, fileName);
}

}  // namespace obu
