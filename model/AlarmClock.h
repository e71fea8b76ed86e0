#pragma once
#include <QDate>
#include <QObject>
#include <QString>
#include <QTime>
#include <optional>

#include "platform/WallClock.h"

namespace obu {

class Clock;
class Formats;

// The alarm: a moment at which to dial once, or a time of day at which to
// dial every day. Its time is kept as the text the settings file stores and
// the window shows ("6/14/2001 9:07:00  PM", "9:05:00  PM"), made by the
// alarm rule. The alarm works out the next minute whose text is the alarm's
// and sleeps until it on the wall clock; a set clock, a new time zone or a
// wake from sleep makes it work it out again.
class AlarmClock : public QObject {
    Q_OBJECT
public:
    enum class Rule { Once, Daily };
    Q_ENUM(Rule)

    AlarmClock(Clock& clock, WallClock& wallClock, const Formats& formats,
               QObject* parent = nullptr);
    ~AlarmClock() override;
    AlarmClock(const AlarmClock&) = delete;
    AlarmClock& operator=(const AlarmClock&) = delete;

    // The alarm's text; empty when no alarm is set.
    const QString& time() const { return m_time; }
    // The rule the next alarm set is made by; the "Make Daily" switch.
    bool isDaily() const { return m_daily; }
    // Whether the alarm is waited for, and by which rule.
    bool isArmed() const { return m_armed; }
    Rule armedRule() const { return m_armedRule; }
    // What the window shows for the alarm: "Daily at " and the time, the
    // moment, or "(not set)".
    const QString& text() const { return m_text; }

    // The alarm as stored at start; not waited for until armStored().
    void load(const QString& time, bool daily);
    // Waits for the stored alarm, if there is one, and shows it.
    void armStored();
    // Changes the rule for the next alarm set; the alarm waited for stays as it is.
    void setDaily(bool daily);
    // Sets the alarm by the current rule, for the moment (once) or the time of
    // day (daily), and waits for it.
    void setAt(const QDate& date, const QTime& time);
    // Stops waiting; the time stays what it was.
    void disarm();
    // No alarm, by the one-time rule.
    void clear();

    // The receiver of a daily due() could not dial now (the line or the modem
    // is held): the alarm comes due again a second later while its minute lasts.
    void offerAgainSoon();
    // Whether the due() being received is such a second offer, not the first
    // of its minute.
    bool offeredAgain() const { return m_offeredAgain; }
    // Looks again whether this is the alarm's minute and waits anew: the
    // machine woke from sleep. A minute that passed during the sleep is not
    // made up for.
    void recheck();

signals:
    // It is the alarm's minute: once per minute it comes in (again a second
    // later only when the receiver asks, see offerAgainSoon()). A one-time
    // alarm then clears itself; a daily alarm waits for the next day.
    void due(AlarmClock::Rule rule);
    // The text to show for the alarm changed.
    void textChanged(const QString& text);

private:
    void arm(Rule rule);
    void show(const QString& text);
    // Waits for the first moment from `from` on in a minute of the alarm's.
    void waitFrom(const QDateTime& from);
    // The wait ended: the alarm's minute, or a change of the clock.
    void wake();
    void fire(qint64 minute, const QDateTime& now);
    void stopWaiting();

    Clock& m_clock;
    WallClock& m_wallClock;
    const Formats& m_formats;
    WallClock::WaitId m_wait = 0;
    bool m_armed = false;
    Rule m_armedRule = Rule::Once;
    // The minute the alarm last came due in (minutes since the epoch), so a
    // clock set back within it does not bring it again.
    std::optional<qint64> m_dueMinute;
    // Set by offerAgainSoon() while a daily due() is being received.
    bool m_offerAgain = false;
    // The minute whose due() its receiver asked to have again, and whether
    // the due() going out is such a repeat.
    std::optional<qint64> m_offeredMinute;
    bool m_offeredAgain = false;
    QString m_time;
    bool m_daily = false;
    QString m_text;
};

}  // namespace obu
