#pragma once
#include <QString>
#include <memory>

namespace obu {

// One MIDI tune opened on the sequencer, as a media player holds it. The
// device lives as long as this object: destroying it stops the tune and
// closes the device. Every call returns false when the device refused it;
// callers are free to ignore that.
class MusicDevice {
public:
    virtual ~MusicDevice() = default;

    // The file name the device was opened with.
    virtual QString fileName() const = 0;
    // Plays from the current position and returns at once. A tune that stands
    // at its end (or was never started) plays from the beginning; one that was
    // stopped goes on where it stopped.
    virtual bool play() = 0;
    // True while the device's mode is "playing": false once the tune has
    // ended, was stopped, or was cut off by another tune.
    virtual bool isPlaying() = 0;
    // Stops and keeps the position.
    virtual bool stop() = 0;
    // Moves back to the beginning and returns when it is there.
    virtual bool seekToStart() = 0;
};

// Wave sounds and the MIDI sequencer. Files are given by bare name and are
// looked up in the folder that the backend was made with; a name with a
// folder of its own is used as it is. All calls belong to the user-interface
// thread and never block on the sound itself.
class Sound {
public:
    virtual ~Sound() = default;

    // Plays a wave file asynchronously and returns at once; a later sound cuts
    // off an earlier one. A missing or unplayable file, or no sound device,
    // plays nothing and gives false; callers normally ignore the result.
    virtual bool playWave(const QString& fileName) = 0;
    // Opens a MIDI file on the sequencer, positioned at its start. A missing
    // file, one that is not a MIDI tune, or a sound device already found
    // missing gives no device (nullptr). A device may load the tune only at
    // its first play, whose false then tells that it cannot play.
    virtual std::unique_ptr<MusicDevice> openMusic(const QString& fileName) = 0;
};

}  // namespace obu
