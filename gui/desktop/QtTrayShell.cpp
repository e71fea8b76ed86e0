#include "gui/desktop/QtTrayShell.h"

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
    : TrayShell(loop), warn_(std::move(warn)) {
    if (!warn_) {
        warn_ = [](const QString& line) {
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
        };
    }
}

QtTrayShell::~QtTrayShell() {
    if (icon_) icon_->hide();
}

bool QtTrayShell::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayShell::warnOnceIfNoTray() {
    if (warned_ || available()) return;
    warned_ = true;
    warn_(QString::fromLatin1(kNoTrayMessage));
}

void QtTrayShell::show(const QIcon& picture, const QString& tip) {
    const bool wasShown = shown_;
    shown_ = true;
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>();
        connect(icon_.get(), &QSystemTrayIcon::activated, this, &QtTrayShell::onActivated);
    }
    icon_->setIcon(picture.isNull() ? emptySlot() : picture);
    icon_->setToolTip(tip);
    if (!wasShown) {
        icon_->show();
        warnOnceIfNoTray();
    }
}

void QtTrayShell::hide() {
    shown_ = false;
    if (icon_) icon_->hide();
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
            report(TrayAction::MenuRequest);
            break;
        case QSystemTrayIcon::MiddleClick:
            report(TrayAction::MiddleClick);
            break;
        default:
            break;
    }
}

}  // namespace obu
