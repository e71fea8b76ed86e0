#include "tests/support/RecordingSound.h"

#include <QHash>
#include <QList>
#include <QSet>

namespace obu::test {

class RecordedTune;

struct RecordingSound::State {
    QStringList calls;
    QStringList waves;
    QSet<QString> missing;
    bool available = true;
    QHash<QString, int> starts;
    QList<RecordedTune*> open;
    RecordedTune* playing = nullptr;

    void record(const char* what, const QString& file) {
        calls << QString::fromLatin1(what) + QLatin1Char(' ') + file;
    }
};

class RecordedTune : public MusicDevice {
public:
    RecordedTune(std::shared_ptr<RecordingSound::State> state, QString file)
        : state_(std::move(state)), file_(std::move(file)) {
        state_->open << this;
    }
    ~RecordedTune() override {
        state_->record("close", file_);
        if (state_->playing == this) state_->playing = nullptr;
        state_->open.removeOne(this);
    }

    QString fileName() const override { return file_; }

    bool play() override {
        state_->record("play", file_);
        if (!state_->available) return false;
        if (tune == RecordingSound::TuneState::Playing) return true;
        if (tune != RecordingSound::TuneState::Stopped) ++state_->starts[file_];
        // The sequencer plays one tune at a time: the one playing loses its place.
        if (state_->playing && state_->playing != this)
            state_->playing->tune = RecordingSound::TuneState::AtStart;
        state_->playing = this;
        tune = RecordingSound::TuneState::Playing;
        return true;
    }
    bool isPlaying() override { return tune == RecordingSound::TuneState::Playing; }
    bool stop() override {
        state_->record("stop", file_);
        if (tune == RecordingSound::TuneState::Playing) tune = RecordingSound::TuneState::Stopped;
        return state_->available;
    }
    bool seekToStart() override {
        state_->record("seek", file_);
        tune = RecordingSound::TuneState::AtStart;
        if (state_->playing == this) state_->playing = nullptr;
        return state_->available;
    }

    RecordingSound::TuneState tune = RecordingSound::TuneState::AtStart;

private:
    std::shared_ptr<RecordingSound::State> state_;
    QString file_;
};

RecordingSound::RecordingSound() : state_(std::make_shared<State>()) {}

RecordingSound::~RecordingSound() = default;

bool RecordingSound::playWave(const QString& fileName) {
    state_->record("wave", fileName);
    state_->waves << fileName;
    return state_->available && !state_->missing.contains(fileName);
}

std::unique_ptr<MusicDevice> RecordingSound::openMusic(const QString& fileName) {
    state_->record("open", fileName);
    if (!state_->available || state_->missing.contains(fileName)) return nullptr;
    return std::make_unique<RecordedTune>(state_, fileName);
}

QStringList RecordingSound::calls() const {
    return state_->calls;
}

QStringList RecordingSound::waves() const {
    return state_->waves;
}

void RecordingSound::clearCalls() {
    state_->calls.clear();
    state_->waves.clear();
}

void RecordingSound::setMissing(const QString& fileName, bool missing) {
    if (missing)
        state_->missing.insert(fileName);
    else
        state_->missing.remove(fileName);
}

void RecordingSound::setDeviceAvailable(bool available) {
    state_->available = available;
}

void RecordingSound::endTune(const QString& fileName) {
    for (RecordedTune* tune : state_->open)
        if (tune->fileName() == fileName && tune->tune == TuneState::Playing) {
            tune->tune = TuneState::Ended;
            if (state_->playing == tune) state_->playing = nullptr;
        }
}

RecordingSound::TuneState RecordingSound::tuneState(const QString& fileName) const {
    for (RecordedTune* tune : state_->open)
        if (tune->fileName() == fileName) return tune->tune;
    return TuneState::Closed;
}

int RecordingSound::starts(const QString& fileName) const {
    return state_->starts.value(fileName);
}

}  // namespace obu::test
