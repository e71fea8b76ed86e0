#include "model/AlarmClock.h"

#include "model/AlarmRule.h"
#include "model/Settings.h"
#include "platform/Clock.h"

namespace obu {
namespace {

const QString kNotSet = QStringLiteral("(not set)");
// How soon a daily alarm that could not dial comes due again within its minute.
constexpr int kOfferAgainMs = 1000;

}  // namespace

AlarmClock::AlarmClock(Clock& clock, WallClock& wallClock, const Formats& formats, QObject* parent)
    : QObject(parent),
      m_clock(clock),
      m_wallClock(wallClock),
      m_formats(formats),
      m_text(kNotSet) {}

AlarmClock::~AlarmClock() {
    stopWaiting();
}

void AlarmClock::load(const QString& time, bool daily) {
    m_time = time;
    m_daily = daily;
}

void AlarmClock::armStored() {
    if (m_time.isEmpty()) return;
    arm(m_daily ? Rule::Daily : Rule::Once);
}

void AlarmClock::setDaily(bool daily) {
    m_daily = daily;
}

void AlarmClock::setAt(const QDate& date, const QTime& time) {
    m_time = m_daily ? alarmTimeOfDay(m_formats, time)
                     : alarmMoment(m_formats, date, time).left(kMaxFieldText);
    arm(m_daily ? Rule::Daily : Rule::Once);
}

void AlarmClock::disarm() {
    m_armed = false;
    stopWaiting();
}

void AlarmClock::clear() {
    m_time.clear();
    show(kNotSet);
    disarm();
    m_daily = false;
}

void AlarmClock::offerAgainSoon() {
    m_offerAgain = true;
}

void AlarmClock::recheck() {
    if (!m_armed) return;
    stopWaiting();
    wake();
}

void AlarmClock::arm(Rule rule) {
    m_armedRule = rule;
    m_armed = true;
    // An alarm set anew may come due in the minute the last one did.
    m_dueMinute.reset();
    show(rule == Rule::Daily ? QStringLiteral("Daily at ") + m_time : m_time);
    waitFrom(m_clock.now());
}

void AlarmClock::show(const QString& text) {
    m_text = text;
    emit textChanged(text);
}

void AlarmClock::waitFrom(const QDateTime& from) {
    stopWaiting();
    if (!m_armed) return;
    QDateTime start = from;
    if (m_dueMinute && alarmMinute(from) == *m_dueMinute)
        start = QDateTime::fromMSecsSinceEpoch((*m_dueMinute + 1) * 60000);
    const auto moment = nextAlarmMoment(m_formats, m_time, m_armedRule == Rule::Daily, start);
    // Without a minute to come (a moment past), only a change of the clock
    // can bring one back.
    m_wait = m_wallClock.waitUntil(moment.value_or(QDateTime()), [this] {
        m_wait = 0;
        wake();
    });
}

void AlarmClock::wake() {
    const QDateTime now = m_clock.now();
    const qint64 minute = alarmMinute(now);
    const bool isDue =
        minute != m_dueMinute && alarmMatches(m_formats, m_time, m_armedRule == Rule::Daily, now);
    if (isDue) m_dueMinute = minute;
    // Waiting again first, so that the alarm stays armed whatever its
    // receiver does, even when that ends in an error box.
    waitFrom(now);
    if (isDue) fire(minute, now);
}

void AlarmClock::fire(qint64 minute, const QDateTime& now) {
    if (m_armedRule == Rule::Once) {
        disarm();
        m_time.clear();
        show(kNotSet);
        emit due(Rule::Once);
        return;
    }
    m_offerAgain = false;
    m_offeredAgain = m_offeredMinute == minute;
    m_offeredMinute.reset();
    emit due(Rule::Daily);
    m_offeredAgain = false;
    if (!m_offerAgain) return;
    m_offerAgain = false;
    // This minute still counts, from a second on.
    m_offeredMinute = minute;
    m_dueMinute.reset();
    waitFrom(now.addMSecs(kOfferAgainMs));
}

void AlarmClock::stopWaiting() {
    if (m_wait) m_wallClock.cancel(m_wait);
    m_wait = 0;
}

}  // namespace obu
