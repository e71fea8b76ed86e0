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
        : m_state(std::move(state)), m_file(std::move(file)) {
        m_state->open << this;
    }
    ~RecordedTune() override {
        m_state->record("close", m_file);
        if (m_state->playing == this) m_state->playing = nullptr;
        m_state->open.removeOne(this);
    }

    QString fileName() const override { return m_file; }

    bool play() override {
        m_state->record("play", m_file);
        if (!m_state->available) return false;
        if (tune == RecordingSound::TuneState::Playing) return true;
        if (tune != RecordingSound::TuneState::Stopped) ++m_state->starts[m_file];
        // The sequencer plays one tune at a time: the one playing loses its place.
        if (m_state->playing && m_state->playing != this)
            m_state->playing->tune = RecordingSound::TuneState::AtStart;
        m_state->playing = this;
        tune = RecordingSound::TuneState::Playing;
        return true;
    }
    bool isPlaying() override { return tune == RecordingSound::TuneState::Playing; }
    bool stop() override {
        m_state->record("stop", m_file);
        if (tune == RecordingSound::TuneState::Playing) tune = RecordingSound::TuneState::Stopped;
        return m_state->available;
    }
    bool seekToStart() override {
        m_state->record("seek", m_file);
        tune = RecordingSound::TuneState::AtStart;
        if (m_state->playing == this) m_state->playing = nullptr;
        return m_state->available;
    }

    RecordingSound::TuneState tune = RecordingSound::TuneState::AtStart;

private:
    std::shared_ptr<RecordingSound::State> m_state;
    QString m_file;
};

RecordingSound::RecordingSound() : m_state(std::make_shared<State>()) {}

RecordingSound::~RecordingSound() = default;

bool RecordingSound::playWave(const QString& fileName) {
    m_state->record("wave", fileName);
    m_state->waves << fileName;
    return m_state->available && !m_state->missing.contains(fileName);
}

std::unique_ptr<MusicDevice> RecordingSound::openMusic(const QString& fileName) {
    m_state->record("open", fileName);
    if (!m_state->available || m_state->missing.contains(fileName)) return nullptr;
    return std::make_unique<RecordedTune>(m_state, fileName);
}

QStringList RecordingSound::calls() const {
    return m_state->calls;
}

QStringList RecordingSound::waves() const {
    return m_state->waves;
}

void RecordingSound::clearCalls() {
    m_state->calls.clear();
    m_state->waves.clear();
}

void RecordingSound::setMissing(const QString& fileName, bool missing) {
    if (missing)
        m_state->missing.insert(fileName);
    else
        m_state->missing.remove(fileName);
}

void RecordingSound::setDeviceAvailable(bool available) {
    m_state->available = available;
}

void RecordingSound::endTune(const QString& fileName) {
    for (RecordedTune* tune : m_state->open)
        if (tune->fileName() == fileName && tune->tune == TuneState::Playing) {
            tune->tune = TuneState::Ended;
            if (m_state->playing == tune) m_state->playing = nullptr;
        }
}

RecordingSound::TuneState RecordingSound::tuneState(const QString& fileName) const {
    for (RecordedTune* tune : m_state->open)
        if (tune->fileName() == fileName) return tune->tune;
    return TuneState::Closed;
}

int RecordingSound::starts(const QString& fileName) const {
    return m_state->starts.value(fileName);
}

}  // namespace obu::test
