#include "platform/QtTrayShell.h"

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
    : loop_(loop), warn_(std::move(warn)) {
    if (!warn_) {
        warn_ = [](const QString& line) {
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
        };
    }
}

QtTrayShell::~QtTrayShell() {
    for (auto& [key, icon] : icons_)
        if (icon.widget) icon.widget->hide();
}

bool QtTrayShell::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayShell::warnOnceIfNoTray() {
    if (warned_ || available()) return;
    warned_ = true;
    warn_(QString::fromLatin1(kNoTrayMessage));
}

bool QtTrayShell::Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) {
    if (!validRecord(data)) return false;
    const Key key{data.hWnd, data.uID};
    auto it = icons_.find(key);
    switch (message) {
        case NIM_ADD: {
            if (it != icons_.end()) return false;
            Icon& icon = icons_[key];
            icon.record = data;
            // Without a screen (headless) no notification area can exist: the
            // icon is kept as a record only.
            if (QGuiApplication::platformName() == QLatin1String("offscreen")) return true;
            icon.widget = std::make_unique<QSystemTrayIcon>();
            // Only posts: whatever the message leads to (even removing this
            // icon) runs later, outside Qt's signal.
            connect(
                icon.widget.get(), &QSystemTrayIcon::activated, this,
                [this, key](QSystemTrayIcon::ActivationReason reason) { activated(key, reason); });
            apply(icon);
            icon.widget->show();
            warnOnceIfNoTray();
            return true;
        }
        case NIM_MODIFY:
            if (it == icons_.end()) return false;
            mergeRecord(it->second.record, data);
            apply(it->second);
            return true;
        case NIM_DELETE:
            if (it == icons_.end()) return false;
            if (it->second.widget) it->second.widget->hide();
            icons_.erase(it);
            return true;
        default:
            return false;
    }
}

void QtTrayShell::apply(Icon& icon) {
    const QIcon picture = TIcon::fromHandle(icon.record.hIcon);
    if (!icon.widget) return;
    icon.widget->setIcon(picture.isNull() ? emptySlot() : picture);
    icon.widget->setToolTip(tipOf(icon.record));
}

void QtTrayShell::activated(const Key& key, QSystemTrayIcon::ActivationReason reason) {
    auto it = icons_.find(key);
    if (it == icons_.end()) return;
    const NOTIFYICONDATAA& record = it->second.record;
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            postMouseMessage(loop_, record, WM_LBUTTONUP);
            break;
        case QSystemTrayIcon::DoubleClick:
            postMouseMessage(loop_, record, WM_LBUTTONDBLCLK);
            postMouseMessage(loop_, record, WM_LBUTTONUP);
            break;
        case QSystemTrayIcon::Context:
            postMouseMessage(loop_, record, WM_RBUTTONUP);
            break;
        case QSystemTrayIcon::MiddleClick:
            postMouseMessage(loop_, record, WM_MBUTTONUP);
            break;
        default:
            break;
    }
}

}  // namespace obu
