#pragma once
#include <QObject>
#include <QString>

#include "platform/WindowTimer.h"

namespace obu {

struct Platform;
class LinkProbe;
class Settings;

// Whether a line that is up still carries traffic: while started, it opens a
// TCP connection to [Connection] CheckHost (host:port) every CheckSeconds,
// and says the line is dead after three failures in a row. Without a
// CheckHost (the default) it does nothing at all.
class LinkCheck : public QObject {
    Q_OBJECT
public:
    LinkCheck(Platform& platform, Settings& settings);
    ~LinkCheck() override;

    // Starts checking, with the settings as they are now.
    void start();
    void stop();
    bool running() const { return m_timer.enabled(); }

    static constexpr int kFailuresToGiveUp = 3;

signals:
    // Three probes in a row failed; the text says why the last one did.
    void dead(const QString& why);

private:
    void probeNow();
    void onAnswer(const QString& failure);

    LinkProbe* m_probe;
    Settings& m_settings;
    WindowTimer m_timer;
    QString m_host;
    int m_port = 0;
    int m_failures = 0;
};

}  // namespace obu
