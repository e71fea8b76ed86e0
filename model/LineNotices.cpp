#include "model/LineNotices.h"

#include "model/LineKeeper.h"
#include "platform/Notifications.h"

namespace obu {

LineNotices::LineNotices(LineKeeper& keeper, Notifications& notifications,
                         std::function<bool()> windowAway)
    : m_keeper(keeper), m_notifications(notifications), m_windowAway(std::move(windowAway)) {
    // The texts are those of the windows that come forward for the same events.
    connect(&keeper, &LineKeeper::dropped, this, [this] {
        tellNews(
            QStringLiteral("Reconnect"),
            QStringLiteral("OBU has detected that your connection was cancelled by a source "
                           "other that itself. OBU will automatically reconnect you in %1 seconds.")
                .arg(m_keeper.reconnectCountdown().secondsLeft()));
    });
    connect(&keeper, &LineKeeper::reconnectStarted, this, [this] {
        tellSequel(QStringLiteral("Reconnect"), QStringLiteral("Attempting to Reconnect."));
    });
    connect(&keeper, &LineKeeper::dialFailed, this,
            [this](const QString& statusText) { tellSequel(m_keeper.entryName(), statusText); });
    connect(&keeper, &LineKeeper::disconnectWarningStarted, this, [this] {
        tellNews(m_keeper.entryName(), QStringLiteral("OBU will disconnect you in %1 seconds.")
                                           .arg(m_keeper.disconnectCountdown().secondsLeft()));
    });
    connect(&keeper, &LineKeeper::stateChanged, this, [this](LineKeeper::State state) {
        if (state == LineKeeper::State::Up || state == LineKeeper::State::Idle)
            m_followingNews = false;
    });
}

void LineNotices::tellNews(const QString& summary, const QString& body) {
    m_followingNews = m_windowAway();
    if (m_followingNews) m_notifications.notify(summary, body);
}

void LineNotices::tellSequel(const QString& summary, const QString& body) {
    if (m_windowAway() || m_followingNews) m_notifications.notify(summary, body);
}

}  // namespace obu
