#include "platform/LogindResume.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <cstdio>

#include "platform/EventLoop.h"
#include "platform/SystemBus.h"

namespace obu {
namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");

}  // namespace

const char* const LogindResume::kUnreachableMessage =
    "obu: logind cannot be reached on the system bus; a wake from sleep is not noticed at once";

LogindResume::LogindResume(EventLoop& loop, std::function<void(const QString&)> warn)
    : LogindResume(loop, systemBus(), std::move(warn)) {}

LogindResume::LogindResume(EventLoop& loop, const QDBusConnection& bus,
                           std::function<void(const QString&)> warn)
    : m_loop(loop), m_bus(bus), m_warn(std::move(warn)) {
    if (!m_warn) {
        m_warn = [](const QString& line) {
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
        };
    }
    if (!m_bus.isConnected()) {
        warnOnce();
        return;
    }
    // Subscribed by the service's name: Qt follows its owner, so a logind
    // that starts later is heard too and nobody else is.
    m_bus.connect(kLogin, QStringLiteral("/org/freedesktop/login1"),
                  QStringLiteral("org.freedesktop.login1.Manager"),
                  QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kLogin;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        if (reply.isError() || !reply.value()) warnOnce();
    });
}

void LogindResume::onPrepareForSleep(bool starting) {
    if (starting) return;
    // Through the loop, so that what the wake sets off runs as any other
    // handler does and never inside the bus's own delivery.
    m_loop.post([self = QPointer<LogindResume>(this)] {
        if (self) emit self->resumed();
    });
}

void LogindResume::warnOnce() {
    if (m_warned) return;
    m_warned = true;
    m_warn(QString::fromLatin1(kUnreachableMessage));
}

}  // namespace obu
