#include "model/AlarmClock.h"

#include "model/AlarmRule.h"
#include "model/Settings.h"
#include "platform/Clock.h"

namespace obu {
namespace {

const QString kNotSet = QStringLiteral("(not set)");

}  // namespace

AlarmClock::AlarmClock(Clock& clock, EventLoop& loop, const Formats& formats, QObject* parent)
    : QObject(parent), m_clock(clock), m_formats(formats), m_check(loop, 1000), m_text(kNotSet) {
    m_check.setOnTimer([this] { check(); });
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
    m_check.setEnabled(false);
}

void AlarmClock::clear() {
    m_time.clear();
    show(kNotSet);
    disarm();
    m_daily = false;
}

void AlarmClock::arm(Rule rule) {
    // Re-arming restarts the once-a-second count from now.
    m_check.setEnabled(false);
    m_armedRule = rule;
    m_check.setEnabled(true);
    show(rule == Rule::Daily ? QStringLiteral("Daily at ") + m_time : m_time);
}

void AlarmClock::show(const QString& text) {
    m_text = text;
    emit textChanged(text);
}

void AlarmClock::check() {
    const QDateTime now = m_clock.now();
    if (m_armedRule == Rule::Daily) {
        if (alarmTimeOfDay(m_formats, now.time()) == m_time) emit due(Rule::Daily);
        return;
    }
    if (alarmMoment(m_formats, now.date(), now.time()) != m_time) return;
    emit due(Rule::Once);
    disarm();
    m_time.clear();
    show(kNotSet);
}

}  // namespace obu
