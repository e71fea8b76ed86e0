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
    : loop_(loop), bus_(bus), warn_(std::move(warn)) {
    if (!warn_) {
        warn_ = [](const QString& line) {
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
        };
    }
    if (!bus_.isConnected()) {
        warnOnce();
        return;
    }
    // Subscribed by the service's name: Qt follows its owner, so a logind
    // that starts later is heard too and nobody else is.
    bus_.connect(kLogin, QStringLiteral("/org/freedesktop/login1"),
                 QStringLiteral("org.freedesktop.login1.Manager"),
                 QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kLogin;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
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
    loop_.post([self = QPointer<LogindResume>(this)] {
        if (self) emit self->resumed();
    });
}

void LogindResume::warnOnce() {
    if (warned_) return;
    warned_ = true;
    warn_(QString::fromLatin1(kUnreachableMessage));
}

}  // namespace obu
