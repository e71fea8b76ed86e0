#include "app/KeeperBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>
#include <QMetaEnum>

#include "model/AlarmClock.h"
#include "model/LineKeeper.h"

namespace obu {

KeeperBus::KeeperBus(LineKeeper& keeper, const AlarmClock& alarm, QObject* parent)
    : QObject(parent),
      m_keeper(keeper),
      m_alarm(alarm),
      m_since(QDateTime::currentSecsSinceEpoch()) {
    connect(&keeper, &LineKeeper::stateChanged, this, &KeeperBus::refresh);
    // The entry has no signal of its own; it changes with what the status
    // line shows (a new entry chosen, a call started).
    connect(&keeper, &LineKeeper::statusChanged, this, &KeeperBus::refresh);
    connect(&keeper.reconnectCountdown(), &Countdown::secondsLeftChanged, this,
            &KeeperBus::refresh);
    connect(&alarm, &AlarmClock::textChanged, this, &KeeperBus::refresh);
    m_shown = properties();
}

QString KeeperBus::registerOnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return {};
    if (!bus.registerObject(QLatin1String(kPath), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportAllSignals))
        return QStringLiteral("cannot offer %1 on the session bus").arg(QLatin1String(kPath));
    const auto reply = bus.interface()->registerService(
        QLatin1String(kService), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(QLatin1String(kPath));
        return QStringLiteral("the session bus name %1 is held by another copy")
            .arg(QLatin1String(kService));
    }
    m_registered = true;
    return {};
}

QString KeeperBus::entry() const {
    return m_keeper.entryName();
}

QString KeeperBus::state() const {
    return QString::fromLatin1(
        QMetaEnum::fromType<LineKeeper::State>().valueToKey(static_cast<int>(m_keeper.state())));
}

int KeeperBus::reconnectSeconds() const {
    const Countdown& count = m_keeper.reconnectCountdown();
    return count.running() ? count.secondsLeft() : 0;
}

QString KeeperBus::alarm() const {
    return m_alarm.text();
}

void KeeperBus::Connect() {
    if (m_keeper.entryName().isEmpty()) {
        if (calledFromDBus())
            sendErrorReply(QStringLiteral("org.obu.Linekeeper1.Error.NoEntry"),
                           QStringLiteral("no connection is chosen"));
        return;
    }
    // The call returns at once: what the dial asks or says goes to the
    // program's own boxes and log, never into the caller's wait.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_keeper.state() == LineKeeper::State::Idle && m_keeper.readyToConnect())
                m_keeper.toggleConnection();
        },
        Qt::QueuedConnection);
}

void KeeperBus::Disconnect() {
    QMetaObject::invokeMethod(this, &KeeperBus::endSession, Qt::QueuedConnection);
}

void KeeperBus::endSession() {
    switch (m_keeper.state()) {
        case LineKeeper::State::Idle:
            return;
        case LineKeeper::State::CountingDown:
        case LineKeeper::State::WaitingToRetry:
        case LineKeeper::State::WaitingForSource:
            m_keeper.cancelReconnect();
            return;
        case LineKeeper::State::Dialling:
        case LineKeeper::State::Up:
            if (!m_keeper.readyToConnect()) m_keeper.toggleConnection();
            return;
    }
}

QVariantMap KeeperBus::properties() const {
    return {{QStringLiteral("Entry"), entry()},
            {QStringLiteral("State"), state()},
            {QStringLiteral("Since"), since()},
            {QStringLiteral("ReconnectSeconds"), reconnectSeconds()},
            {QStringLiteral("Alarm"), alarm()}};
}

void KeeperBus::refresh() {
    // Whichever signal shows a new state first, its time goes with it.
    if (state() != m_shown.value(QStringLiteral("State")).toString())
        m_since = QDateTime::currentSecsSinceEpoch();
    const QVariantMap now = properties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_shown.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    m_shown = now;
    if (changed.isEmpty() || !m_registered) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QLatin1String(kPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(kService) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace obu
