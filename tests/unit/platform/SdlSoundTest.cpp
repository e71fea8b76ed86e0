// Sounds and tunes through SDL2_mixer, heard through SDL's disk audio driver
// (which writes what would go to the speakers into a file), and the rules of
// the music device that the recording double shares with the real backend.
#include "platform/SdlSound.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <cstdint>
#include <functional>

#include "tests/support/RecordingSound.h"
#include "tests/support/TempFolder.h"

namespace obu {
namespace {

const QString kAssets = QStringLiteral(OBU_ASSET_FOLDER);

// The mixer's output: 16-bit stereo at 44.1 kHz.
constexpr qint64 kBytesPerSecond = 44100 * 2 * 2;

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QThread::msleep(5);
    }
    return true;
}

// A Standard MIDI File of one wood block knock, half a second at 120 bpm. The
// instrument dies away at once, so the tune ends soon after its last note.
QByteArray shortTune() {
    const QByteArray track(
        "\x00\xFF\x51\x03\x07\xA1\x20"  // 500000 us a quarter
        "\x00\xC0\x73"                  // wood block
        "\x00\x90\x3C\x64\x83\x60\x80\x3C\x00"
        "\x00\xFF\x2F\x00",
        23);
    QByteArray smf("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0MTrk\x00\x00\x00", 21);
    return smf + static_cast<char>(track.size()) + track;
}

// Points SDL at its disk driver for the life of a test and reads back what it wrote.
class SdlSoundOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(output()));
    }
    void TearDown() override {
        qputenv("SDL_AUDIODRIVER", "dummy");
        qunsetenv("SDL_DISKAUDIOFILE");
    }

    QString output() const { return folder.file(QStringLiteral("speakers.raw")); }
    QByteArray written() const { return folder.read(QStringLiteral("speakers.raw")); }
    qint64 writtenBytes() const { return QFile(output()).size(); }

    // Byte offset of the first non-zero sample at or after `from`, or -1.
    qint64 firstSound(qint64 from) const {
        const QByteArray bytes = written();
        for (qint64 i = from & ~1; i + 1 < bytes.size(); i += 2)
            if (bytes[i] != 0 || bytes[i + 1] != 0) return i;
        return -1;
    }
    bool silent(qint64 from, qint64 to) const {
        const QByteArray bytes = written().mid(from, to - from);
        return bytes.size() == to - from && bytes.count('\0') == bytes.size();
    }
    // Waits until the driver has written at least `bytes`.
    bool waitForOutput(qint64 bytes) const {
        return waitFor([&] { return writtenBytes() >= bytes; });
    }

    test::TempFolder folder;
};

TEST_F(SdlSoundOnDisk, AWaveIsHeard) {
    SdlSound sound(kAssets);
    ASSERT_TRUE(sound.playWave(QStringLiteral("obubtnd.okx")));
    EXPECT_TRUE(waitFor([&] { return firstSound(0) >= 0; })) << "only silence reached the output";
}

TEST_F(SdlSoundOnDisk, ALaterSoundCutsOffAnEarlierOne) {
    SdlSound sound(kAssets);
    // The chime alone still rings a second after it started...
    ASSERT_TRUE(sound.playWave(QStringLiteral("obualarm.okx")));
    qint64 start = -1;
    ASSERT_TRUE(waitFor([&] { return (start = firstSound(0)) >= 0; }));
    ASSERT_TRUE(waitForOutput(start + kBytesPerSecond));
    EXPECT_FALSE(silent(start + kBytesPerSecond * 3 / 10, start + kBytesPerSecond));

    // ...but a click straight after it cuts it off.
    ASSERT_TRUE(waitForOutput(start + kBytesPerSecond * 22 / 10));
    const qint64 from = writtenBytes();
    ASSERT_TRUE(silent(from - kBytesPerSecond / 10, from));
    ASSERT_TRUE(sound.playWave(QStringLiteral("obualarm.okx")));
    ASSERT_TRUE(sound.playWave(QStringLiteral("obuclick.okx")));
    ASSERT_TRUE(waitFor([&] { return (start = firstSound(from)) >= 0; }));
    ASSERT_TRUE(waitForOutput(start + kBytesPerSecond));
    EXPECT_TRUE(silent(start + kBytesPerSecond * 3 / 10, start + kBytesPerSecond));
}

TEST_F(SdlSoundOnDisk, ATuneIsHeardWhilePlayingAndFallsSilentWhenStopped) {
    SdlSound sound(kAssets);
    const auto tune = sound.openMusic(QStringLiteral("obupt.okx"));
    ASSERT_TRUE(tune);
    EXPECT_EQ(tune->fileName(), QStringLiteral("obupt.okx"));

    const qint64 before = writtenBytes();
    ASSERT_TRUE(tune->play());
    ASSERT_TRUE(waitFor([&] { return firstSound(before) >= 0; }))
        << "only silence reached the output";
    EXPECT_TRUE(tune->isPlaying());

    EXPECT_TRUE(tune->stop());
    // Allow for the buffers already on their way to the driver.
    const qint64 stoppedAt = writtenBytes() + kBytesPerSecond * 15 / 100;
    ASSERT_TRUE(waitForOutput(stoppedAt + kBytesPerSecond / 2));
    EXPECT_TRUE(silent(stoppedAt, stoppedAt + kBytesPerSecond / 2));

    // Play goes on.
    const qint64 resumedAt = writtenBytes();
    ASSERT_TRUE(tune->play());
    EXPECT_TRUE(waitFor([&] { return firstSound(resumedAt) >= 0; }));
}

// SDL's audio threads of this process: there is one while the device is open
// (named by the thread itself, a moment after it starts).
int audioThreads() {
    int count = 0;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("SDLAudio")) ++count;
    }
    return count;
}

// Runs the event loop (which closes a silent device) until the condition holds.
bool pumpUntil(const std::function<bool()>& condition) {
    return waitFor([&] {
        QCoreApplication::processEvents();
        return condition();
    });
}

TEST_F(SdlSoundOnDisk, TheDeviceIsOpenOnlyWhileSomethingSounds) {
    // The device is closed by a timer of the event loop.
    int argc = 1;
    char name[] = "SdlSoundTest";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    SdlSound sound(kAssets);
    const auto tune = sound.openMusic(QStringLiteral("obu.okx"));
    ASSERT_TRUE(tune);
    EXPECT_EQ(audioThreads(), 0) << "opening a tune opened the device";

    ASSERT_TRUE(sound.playWave(QStringLiteral("obuclick.okx")));
    EXPECT_TRUE(waitFor([] { return audioThreads() > 0; }));
    EXPECT_TRUE(pumpUntil([] { return audioThreads() == 0; }))
        << "the device stayed open in silence";

    // A tune opens it again, keeps it while it is only stopped, and plays as
    // before once the device has been closed under it.
    ASSERT_TRUE(tune->play());
    EXPECT_TRUE(tune->isPlaying());
    EXPECT_TRUE(waitFor([] { return audioThreads() > 0; }));
    EXPECT_TRUE(tune->stop());
    QElapsedTimer paused;
    paused.start();
    EXPECT_TRUE(pumpUntil([&] { return paused.elapsed() > 2500; }));
    EXPECT_GT(audioThreads(), 0) << "a stopped tune lost its place";
    ASSERT_TRUE(tune->play());
    EXPECT_TRUE(tune->isPlaying());
    EXPECT_TRUE(tune->seekToStart());
    EXPECT_TRUE(pumpUntil([] { return audioThreads() == 0; }));
    ASSERT_TRUE(tune->play());
    EXPECT_TRUE(tune->isPlaying());
}

TEST_F(SdlSoundOnDisk, MissingAndUnplayableFilesFailQuietly) {
    folder.write(QStringLiteral("notes.okx"), QByteArray("[Options]\r\nSound=1\r\n"));
    QDir(folder.path()).mkdir(QStringLiteral("folder.okx"));
    SdlSound sound(folder.path());
    for (const QString& name : {QStringLiteral("missing.okx"), QStringLiteral("notes.okx"),
                                QStringLiteral("folder.okx"), QString()}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(sound.playWave(name));
        EXPECT_EQ(sound.openMusic(name), nullptr);
    }
    // A name with its own folder is taken as it is; the device still works.
    EXPECT_TRUE(sound.available());
    EXPECT_TRUE(sound.playWave(kAssets + QStringLiteral("obuclick.okx")));
}

TEST_F(SdlSoundOnDisk, WithoutItsSoundFontNoTuneOpensButWavesStillPlay) {
    SdlSound sound(kAssets, folder.file(QStringLiteral("missing.sf2")));
    EXPECT_EQ(sound.openMusic(QStringLiteral("obu.okx")), nullptr);
    EXPECT_TRUE(sound.playWave(QStringLiteral("obuclick.okx")));
}

TEST_F(SdlSoundOnDisk, AnOpenTuneMayOutliveTheBackend) {
    std::unique_ptr<MusicDevice> tune;
    {
        SdlSound sound(kAssets);
        tune = sound.openMusic(QStringLiteral("obu.okx"));
        ASSERT_TRUE(tune);
        ASSERT_TRUE(tune->play());
    }
    EXPECT_TRUE(tune->isPlaying());
    EXPECT_TRUE(tune->stop());
    tune.reset();
}

TEST_F(SdlSoundOnDisk, LeavesTheProgramsSignalsAlone) {
    // SDL's audio brings its event loop, which would take over SIGINT and
    // SIGTERM wherever they are unclaimed; the program handles those itself.
    const int watched[] = {SIGINT, SIGTERM};
    struct sigaction before[2]{};
    for (int i = 0; i < 2; ++i) {
        struct sigaction none {};
        none.sa_handler = SIG_DFL;
        sigaction(watched[i], &none, &before[i]);
    }
    {
        SdlSound sound(kAssets);
        ASSERT_TRUE(sound.playWave(QStringLiteral("obuclick.okx")));
        for (int signal : watched) {
            struct sigaction now {};
            sigaction(signal, nullptr, &now);
            EXPECT_EQ(now.sa_handler, SIG_DFL) << "signal " << signal;
        }
    }
    for (int i = 0; i < 2; ++i) sigaction(watched[i], &before[i], nullptr);
}

bool soundLibrariesMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libSDL2_mixer");
}

TEST(SdlSoundLibraries, AreMappedOnlyFromTheFirstSound) {
    if (!qEnvironmentVariableIsSet("OBU_SOUND_FRESH_PROCESS")) {
        // Earlier tests of this process have loaded them: ask a fresh one.
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("OBU_SOUND_FRESH_PROCESS"), QStringLiteral("1"));
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(
            QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(),
            {QStringLiteral("--gtest_filter=SdlSoundLibraries.AreMappedOnlyFromTheFirstSound")});
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
        return;
    }
    SdlSound sound(kAssets);
    const auto tune = sound.openMusic(QStringLiteral("obu.okx"));
    ASSERT_TRUE(tune);
    EXPECT_FALSE(soundLibrariesMapped()) << "a silent program loaded the sound libraries";
    ASSERT_TRUE(sound.playWave(QStringLiteral("obuclick.okx")));
    EXPECT_TRUE(soundLibrariesMapped());
}

TEST(SdlSoundWithoutDevice, SaysSoOnceAndEveryCallFails) {
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    testing::internal::CaptureStderr();
    {
        SdlSound sound(kAssets);
        EXPECT_FALSE(sound.playWave(QStringLiteral("obuclick.okx")));
        EXPECT_EQ(sound.openMusic(QStringLiteral("obu.okx")), nullptr);
        EXPECT_FALSE(sound.playWave(QStringLiteral("obubtnd.okx")));
        EXPECT_FALSE(sound.available());
    }
    const std::string said = testing::internal::GetCapturedStderr();
    qputenv("SDL_AUDIODRIVER", "dummy");
    EXPECT_NE(said.find("no sound"), std::string::npos) << said;
    EXPECT_EQ(said.find("no sound"), said.rfind("no sound")) << said;
}

// ---- The music device's rules, for the real backend and the double alike ----------------------

class Backend {
public:
    virtual ~Backend() = default;
    virtual Sound& sound() = 0;
    // Lets the tune run until it ends by itself.
    virtual void runToEnd(MusicDevice& tune) = 0;
};

class SdlBackend : public Backend {
public:
    SdlBackend() {
        // Short tunes, so that a test can wait for one to end.
        m_folder.write(QStringLiteral("first.mid"), shortTune());
        m_folder.write(QStringLiteral("second.mid"), shortTune());
        m_sound = std::make_unique<SdlSound>(m_folder.path());
    }
    Sound& sound() override { return *m_sound; }
    void runToEnd(MusicDevice& tune) override {
        EXPECT_TRUE(waitFor([&] { return !tune.isPlaying(); })) << "the tune never ended";
    }

private:
    test::TempFolder m_folder;
    std::unique_ptr<SdlSound> m_sound;
};

class RecordingBackend : public Backend {
public:
    RecordingBackend() { m_sound.setMissing(QStringLiteral("missing.mid")); }
    Sound& sound() override { return m_sound; }
    void runToEnd(MusicDevice& tune) override { m_sound.endTune(tune.fileName()); }

private:
    test::RecordingSound m_sound;
};

class MusicDeviceRules : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (std::string(GetParam()) == "SdlSound")
            backend = std::make_unique<SdlBackend>();
        else
            backend = std::make_unique<RecordingBackend>();
    }
    std::unique_ptr<Backend> backend;
};

TEST_P(MusicDeviceRules, PlayStopAndRewindSetWhetherItPlays) {
    EXPECT_EQ(backend->sound().openMusic(QStringLiteral("missing.mid")), nullptr);
    const auto tune = backend->sound().openMusic(QStringLiteral("first.mid"));
    ASSERT_TRUE(tune);
    EXPECT_FALSE(tune->isPlaying());
    // Every call succeeds; a play while playing goes on.
    const auto play = [](MusicDevice& t) { return t.play(); };
    const auto stop = [](MusicDevice& t) { return t.stop(); };
    const auto rewind = [](MusicDevice& t) { return t.seekToStart(); };
    const std::pair<std::function<bool(MusicDevice&)>, bool> steps[] = {
        {play, true}, {play, true}, {stop, false}, {play, true}, {rewind, false}, {play, true}};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(steps[i].first(*tune));
        EXPECT_EQ(tune->isPlaying(), steps[i].second);
    }
}

TEST_P(MusicDeviceRules, ATuneThatHasEndedPlaysAgainFromTheBeginning) {
    const auto tune = backend->sound().openMusic(QStringLiteral("first.mid"));
    ASSERT_TRUE(tune);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(tune->play());
        EXPECT_TRUE(tune->isPlaying());
        backend->runToEnd(*tune);
        EXPECT_FALSE(tune->isPlaying()) << round;
    }
}

TEST_P(MusicDeviceRules, OnlyOneTunePlaysAtATime) {
    const auto first = backend->sound().openMusic(QStringLiteral("first.mid"));
    const auto second = backend->sound().openMusic(QStringLiteral("second.mid"));
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(first->play());
    ASSERT_TRUE(second->play());
    EXPECT_FALSE(first->isPlaying());
    EXPECT_TRUE(second->isPlaying());
    // The one cut off has lost its place; a stop on it changes nothing.
    EXPECT_TRUE(first->stop());
    EXPECT_TRUE(second->isPlaying());
    ASSERT_TRUE(first->play());
    EXPECT_TRUE(first->isPlaying());
    EXPECT_FALSE(second->isPlaying());
}

INSTANTIATE_TEST_SUITE_P(Backends, MusicDeviceRules,
                         ::testing::Values("SdlSound", "RecordingSound"),
                         [](const auto& backend) { return std::string(backend.param); });

TEST(RecordingSound, RecordsEveryCallWithItsFileAndCountsStarts) {
    test::RecordingSound sound;
    sound.setMissing(QStringLiteral("gone.okx"));
    EXPECT_TRUE(sound.playWave(QStringLiteral("obubtnd.okx")));
    EXPECT_FALSE(sound.playWave(QStringLiteral("gone.okx")));
    {
        auto tune = sound.openMusic(QStringLiteral("obupt.okx"));
        tune->play();
        tune->stop();
        tune->play();  // goes on: not a new start
        sound.endTune(QStringLiteral("obupt.okx"));
        EXPECT_EQ(sound.tuneState(QStringLiteral("obupt.okx")),
                  test::RecordingSound::TuneState::Ended);
        tune->play();  // from the beginning again
        tune->seekToStart();
    }
    EXPECT_EQ(sound.tuneState(QStringLiteral("obupt.okx")),
              test::RecordingSound::TuneState::Closed);
    EXPECT_EQ(sound.starts(QStringLiteral("obupt.okx")), 2);
    EXPECT_EQ(sound.waves(),
              QStringList({QStringLiteral("obubtnd.okx"), QStringLiteral("gone.okx")}));
    EXPECT_EQ(sound.calls(), QStringList({"wave obubtnd.okx", "wave gone.okx", "open obupt.okx",
                                          "play obupt.okx", "stop obupt.okx", "play obupt.okx",
                                          "play obupt.okx", "seek obupt.okx", "close obupt.okx"}));

    sound.setDeviceAvailable(false);
    EXPECT_FALSE(sound.playWave(QStringLiteral("obuclick.okx")));
    EXPECT_EQ(sound.openMusic(QStringLiteral("obu.okx")), nullptr);
}

}  // namespace
}  // namespace obu
