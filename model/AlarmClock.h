#pragma once
#include <QDate>
#include <QObject>
#include <QString>
#include <QTime>

#include "platform/WindowTimer.h"

namespace obu {

class Clock;
class EventLoop;
class Formats;

// The alarm: a moment at which to dial once, or a time of day at which to
// dial every day. Its time is kept as the text the settings file stores and
// the window shows ("6/14/2001 9:07:00  PM", "9:05:00  PM"), made by the
// alarm rule, and compared as text with the current moment once a second.
class AlarmClock : public QObject {
    Q_OBJECT
public:
    enum class Rule { Once, Daily };
    Q_ENUM(Rule)

    AlarmClock(Clock& clock, EventLoop& loop, const Formats& formats, QObject* parent = nullptr);

    // The alarm's text; empty when no alarm is set.
    const QString& time() const { return m_time; }
    // The rule the next alarm set is made by; the "Make Daily" switch.
    bool isDaily() const { return m_daily; }
    // Whether the alarm is checked, and by which rule.
    bool isArmed() const { return m_check.enabled(); }
    Rule armedRule() const { return m_armedRule; }
    // What the window shows for the alarm: "Daily at " and the time, the
    // moment, or "(not set)".
    const QString& text() const { return m_text; }

    // The alarm as stored at start; not checked until armStored().
    void load(const QString& time, bool daily);
    // Checks the stored alarm, if there is one, and shows it.
    void armStored();
    // Changes the rule for the next alarm set; the alarm checked stays as it is.
    void setDaily(bool daily);
    // Sets the alarm by the current rule, for the moment (once) or the time of
    // day (daily), and checks it.
    void setAt(const QDate& date, const QTime& time);
    // Stops checking; the time stays what it was.
    void disarm();
    // No alarm, by the one-time rule.
    void clear();

signals:
    // It is the alarm's minute. Sent every second of that minute for a daily
    // alarm (its receiver decides whether the line can be taken); once for a
    // one-time alarm, which then clears itself.
    void due(AlarmClock::Rule rule);
    // The text to show for the alarm changed.
    void textChanged(const QString& text);

private:
    void check();
    void arm(Rule rule);
    void show(const QString& text);

    Clock& m_clock;
    const Formats& m_formats;
    WindowTimer m_check;
    Rule m_armedRule = Rule::Once;
    QString m_time;
    bool m_daily = false;
    QString m_text;
};

}  // namespace obu
