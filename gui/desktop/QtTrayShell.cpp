#include "gui/desktop/QtTrayShell.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

namespace obu {

const char* const QtTrayShell::kNoTrayMessage =
    "obu: no notification area found; the tray icon is not shown until one starts";

namespace {

// An icon without a picture must still be an empty slot that can be
// clicked; Qt shows nothing for a null icon, so it gets a clear one.
QIcon emptySlot() {
    QPixmap clear(16, 16);
    clear.fill(Qt::transparent);
    return QIcon(clear);
}

}  // namespace

QtTrayShell::QtTrayShell(EventLoop& loop, std::function<void(const QString&)> warn)
    : TrayShell(loop), m_warn(std::move(warn)) {
    if (!m_warn) {
        m_warn = [](const QString& line) {
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
        };
    }
}

QtTrayShell::~QtTrayShell() {
    if (m_icon) m_icon->hide();
}

bool QtTrayShell::statusNotifierHostRuns() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(watcher).value())
        return false;
    QDBusMessage ask = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusReply<QDBusVariant> hostThere = bus.call(ask, QDBus::Block, 2000);
    return hostThere.isValid() && hostThere.value().variant().toBool();
}

void QtTrayShell::setMenu(QMenu* menu) {
    m_menu = menu;
    if (m_icon && m_hostShowsMenu) m_icon->setContextMenu(menu);
}

bool QtTrayShell::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayShell::warnOnceIfNoTray() {
    if (m_warned || available()) return;
    m_warned = true;
    m_warn(QString::fromLatin1(kNoTrayMessage));
}

void QtTrayShell::show(const QIcon& picture, const QString& tip) {
    const bool wasShown = m_shown;
    m_shown = true;
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    if (!m_icon) {
        // Asked as Qt asks when it makes the icon, which it then shows there.
        m_hostShowsMenu = statusNotifierHostRuns();
        m_icon = std::make_unique<QSystemTrayIcon>();
        if (m_hostShowsMenu && m_menu) m_icon->setContextMenu(m_menu);
        connect(m_icon.get(), &QSystemTrayIcon::activated, this, &QtTrayShell::onActivated);
    }
    m_icon->setIcon(picture.isNull() ? emptySlot() : picture);
    m_icon->setToolTip(tip);
    if (!wasShown) {
        m_icon->show();
        warnOnceIfNoTray();
    }
}

void QtTrayShell::hide() {
    m_shown = false;
    if (m_icon) m_icon->hide();
}

void QtTrayShell::onActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            report(TrayAction::Click);
            break;
        case QSystemTrayIcon::DoubleClick:
            report(TrayAction::DoubleClick);
            report(TrayAction::Click);
            break;
        case QSystemTrayIcon::Context:
            if (!m_hostShowsMenu) report(TrayAction::MenuRequest);
            break;
        case QSystemTrayIcon::MiddleClick:
            report(TrayAction::MiddleClick);
            break;
        default:
            break;
    }
}

}  // namespace obu
