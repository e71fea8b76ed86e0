#pragma once
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace obu {

class AlarmClock;
class LineKeeper;

// The keeper's control interface on the session bus: org.obu.Linekeeper1 at
// /org/obu/Linekeeper1. Scripts and units connect and disconnect the kept
// line and read what the main window shows; every change of a property is
// sent as org.freedesktop.DBus.Properties.PropertiesChanged, so a watcher
// never polls.
class KeeperBus : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.obu.Linekeeper1")
    Q_PROPERTY(QString Entry READ entry)
    Q_PROPERTY(QString State READ state)
    Q_PROPERTY(qlonglong Since READ since)
    Q_PROPERTY(int ReconnectSeconds READ reconnectSeconds)
    Q_PROPERTY(QString Alarm READ alarm)
public:
    static constexpr const char* kService = "org.obu.Linekeeper1";
    static constexpr const char* kPath = "/org/obu/Linekeeper1";

    KeeperBus(LineKeeper& keeper, const AlarmClock& alarm, QObject* parent = nullptr);

    // Puts the interface on the session bus. Without a session bus there is
    // nothing to say and it returns an empty text; otherwise a failure (the
    // name held by another copy) comes back in words.
    QString registerOnSessionBus();

    QString entry() const;
    // The keeper's state by name: Idle, Dialling, Up, CountingDown, ...
    QString state() const;
    // When the state began, in seconds since the epoch.
    qlonglong since() const { return m_since; }
    // The seconds left before the line is dialled again; 0 when none is due.
    int reconnectSeconds() const;
    QString alarm() const;

public slots:
    // Dials the kept entry unless a session goes on already.
    void Connect();
    // Ends the session: hangs up, stops a reconnect count or a wait to
    // retry; the keeper then stays offline until told to connect.
    void Disconnect();

private:
    void endSession();
    QVariantMap properties() const;
    // Sends what changed since the last look.
    void refresh();

    LineKeeper& m_keeper;
    const AlarmClock& m_alarm;
    qlonglong m_since;
    QVariantMap m_shown;
    bool m_registered = false;
};

}  // namespace obu
