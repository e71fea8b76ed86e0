#include "model/LinkCheck.h"

#include <QPointer>
#include <algorithm>

#include "model/Settings.h"
#include "platform/LinkProbe.h"
#include "platform/Platform.h"

namespace obu {
namespace {
// A probe gets at most this long, and never longer than half the time
// between two probes.
constexpr int kLongestProbeMs = 10000;
constexpr int kShortestCheckSeconds = 5;
}  // namespace

LinkCheck::LinkCheck(Platform& platform, Settings& settings)
    : m_probe(platform.linkProbe), m_settings(settings), m_timer(*platform.loop) {
    m_timer.setOnTimer([this] { probeNow(); });
}

LinkCheck::~LinkCheck() {
    stop();
}

void LinkCheck::start() {
    stop();
    if (!m_probe) return;
    const QString target = m_settings.text(Setting::CheckHost).trimmed();
    const int colon = target.lastIndexOf(QLatin1Char(':'));
    bool numeric = false;
    const int port = colon > 0 ? target.mid(colon + 1).toInt(&numeric) : 0;
    if (!numeric || port <= 0 || port > 65535) return;
    m_host = target.left(colon);
    // An IPv6 address is written in brackets: [::1]:80.
    if (m_host.startsWith(QLatin1Char('[')) && m_host.endsWith(QLatin1Char(']')))
        m_host = m_host.mid(1, m_host.size() - 2);
    m_port = port;
    const int seconds = std::max(kShortestCheckSeconds, m_settings.number(Setting::CheckSeconds));
    m_timer.setInterval(seconds * 1000);
    m_timer.setEnabled(true);
}

void LinkCheck::stop() {
    m_timer.setEnabled(false);
    m_failures = 0;
    if (m_probe) m_probe->cancel();
}

void LinkCheck::probeNow() {
    const int limit = std::min(kLongestProbeMs, m_timer.interval() / 2);
    QPointer<LinkCheck> self(this);
    m_probe->probe(m_host, m_port, limit, [self](const QString& failure) {
        if (self) self->onAnswer(failure);
    });
}

void LinkCheck::onAnswer(const QString& failure) {
    if (!running()) return;
    if (failure.isEmpty()) {
        m_failures = 0;
        return;
    }
    if (++m_failures < kFailuresToGiveUp) return;
    stop();
    emit dead(failure);
}

}  // namespace obu
