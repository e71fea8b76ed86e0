#include "model/AlarmDial.h"

#include "model/EventLog.h"
#include "model/LineKeeper.h"
#include "model/UserOptions.h"
#include "platform/Sound.h"

namespace obu {

AlarmDial::AlarmDial(AlarmClock& alarm, LineKeeper& keeper, EventLog& log,
                     const UserOptions& options, Sound* sound, QObject* parent)
    : QObject(parent),
      m_alarm(alarm),
      m_keeper(keeper),
      m_log(log),
      m_options(options),
      m_sound(sound) {
    connect(&m_alarm, &AlarmClock::due, this, &AlarmDial::dial);
}

void AlarmDial::dial(AlarmClock::Rule rule) {
    const QString cannotDial = m_keeper.whyAlarmCannotDial();
    if (rule == AlarmClock::Rule::Once) {
        // The one-time alarm comes forward even when it cannot dial; it clears itself.
        emit attentionWanted();
        if (!cannotDial.isEmpty()) {
            m_log.writeLine(QStringLiteral("Alarm did not dial: ") + cannotDial);
            return;
        }
        playAlarmSound();
        m_keeper.toggleConnection();
        return;
    }
    // The daily alarm does nothing else while it cannot dial; it stays set
    // and comes again within its minute, in case the line is freed. Once it
    // has dialled, that minute is done, whatever becomes of the call.
    if (!cannotDial.isEmpty()) {
        if (!m_alarm.offeredAgain())
            m_log.writeLine(QStringLiteral("Alarm did not dial: ") + cannotDial);
        m_alarm.offerAgainSoon();
        return;
    }
    playAlarmSound();
    emit attentionWanted();
    m_keeper.toggleConnection();
}

void AlarmDial::playAlarmSound() {
    if (m_sound && m_options.isOn(UserOptions::Option::Sound))
        m_sound->playWave(QStringLiteral("obualarm.okx"));
}

}  // namespace obu
