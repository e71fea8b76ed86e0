#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/Sound.h"

namespace obu::test {

// Records every wave played and every call on the tunes it opened; nothing is
// heard. Tunes behave as on the real sequencer: play goes on from where a stop
// left the tune and starts again once it has ended, only one tune plays at a
// time, and a tune plays until the test ends it with endTune().
class RecordingSound : public Sound {
public:
    enum class TuneState { Closed, AtStart, Playing, Stopped, Ended };

    RecordingSound();
    ~RecordingSound() override;

    bool playWave(const QString& fileName) override;
    std::unique_ptr<MusicDevice> openMusic(const QString& fileName) override;

    // Every call in order: "wave obuclick.okx", "open obu.okx", "play obu.okx",
    // "stop obu.okx", "seek obu.okx", "close obu.okx". Failed calls are recorded too.
    QStringList calls() const;
    // The wave files asked for, in order.
    QStringList waves() const;
    void clearCalls();

    // A missing file fails to play or open.
    void setMissing(const QString& fileName, bool missing = true);
    // Without a device every call fails, as on a machine with no sound.
    void setDeviceAvailable(bool available);

    // The tune reaches its end: it stops playing by itself.
    void endTune(const QString& fileName);
    // The state of the open device of that file (Closed when none is open).
    TuneState tuneState(const QString& fileName) const;
    bool isPlaying(const QString& fileName) const {
        return tuneState(fileName) == TuneState::Playing;
    }
    // How often the tune has started from its beginning.
    int starts(const QString& fileName) const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace obu::test
