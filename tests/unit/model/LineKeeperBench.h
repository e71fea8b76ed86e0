#pragma once
// The line keeper without windows: the real phone-book service with its demo
// entries (or a phone book of the test's) and the modem inside the process,
// on virtual time.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

#include "dialup/phonebook/LineService.h"
#include "model/EventLog.h"
#include "model/LineKeeper.h"
#include "model/Settings.h"
#include "model/UserOptions.h"
#include "platform/Dispatcher.h"
#include "platform/Formats.h"
#include "platform/IniFileProfile.h"
#include "platform/LinkProbe.h"
#include "platform/Platform.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualTime.h"

namespace obu::test {

// The phone book's service whose source can go away and come back, as
// NetworkManager does when it restarts: its calls are lost to their
// followers meanwhile, not dropped.
class LeavingService : public LineService {
public:
    using LineService::LineService;
    bool sourcesReady() const override { return m_ready; }
    void leave() {
        m_ready = false;
        QList<CallInfo> up;
        calls(&up);
        for (const CallInfo& call : up) emit callEnded(call.id, dialup_error::ServiceGone);
        emit sourcesChanged();
    }
    void comeBack() {
        m_ready = true;
        emit sourcesChanged();
    }
    // The call is gone, and nothing has told anybody (the machine slept).
    void loseSilently(CallId id) { m_lost.insert(id); }
    DialUpError callStatus(CallId id, CallInfo* out) override {
        return m_lost.contains(id) ? dialup_error::InvalidCall : LineService::callStatus(id, out);
    }

private:
    bool m_ready = true;
    QSet<CallId> m_lost;
};

// Answers each probe of the line as the test says, through the loop.
class ScriptedLinkProbe : public LinkProbe {
public:
    explicit ScriptedLinkProbe(EventLoop& loop) : m_loop(loop) {}
    void probe(const QString& host, int port, int,
               std::function<void(const QString&)> done) override {
        probed << QStringLiteral("%1:%2").arg(host).arg(port);
        const QString answer = failure;
        m_loop.post([done, answer] { done(answer); });
    }
    void cancel() override {}
    // Empty: the far end answers.
    QString failure;
    QStringList probed;

private:
    EventLoop& m_loop;
};

class LineKeeperBench : public ::testing::Test {
protected:
    TempFolder folder;
    VirtualTime time;
    ScriptedDialogs dialogs;
    Dispatcher dispatcher{dialogs, QStringLiteral("OBU v1.3")};
    Formats formats;
    IniFileProfile profile;
    // No phone book file: the demo entries serve.
    LeavingService lines{time, time,
                         LineService::Paths{folder.file(QStringLiteral("phonebook.pbk")),
                                            folder.file(QStringLiteral("lines"))}};
    Platform platform;
    ScriptedLinkProbe probe{time};
    Settings settings{profile, folder.file(QStringLiteral("obu.ini"))};
    EventLog log{time, formats, folder.file(QStringLiteral("log.txt"))};
    UserOptions options{settings};
    std::unique_ptr<LineKeeper> keeper;
    // What the windows would show.
    QString status;
    bool itemShowsConnect = true;
    QStringList shown;

    void SetUp() override {
        time.setDispatcher(&dispatcher);
        lines.setDeviceFactory(lines.simulatedModemFactory());
        platform.clock = &time;
        platform.loop = &time;
        platform.dialogs = &dialogs;
        platform.dialUp = &lines;
        platform.linkProbe = &probe;
        log.start(QStringLiteral("OBU Launched"));
        keeper = std::make_unique<LineKeeper>(platform, settings, log, options);
        QObject::connect(keeper.get(), &LineKeeper::statusChanged,
                         [this](const QString& text) { status = text; });
        QObject::connect(keeper.get(), &LineKeeper::connectItemChanged,
                         [this](bool free) { itemShowsConnect = free; });
        QObject::connect(keeper.get(), &LineKeeper::connectCommandEnabled, [this](bool on) {
            shown << (on ? QStringLiteral("enabled") : QStringLiteral("disabled"));
        });
        QObject::connect(keeper.get(), &LineKeeper::reconnectOffered,
                         [this] { shown << QStringLiteral("reconnect offered"); });
        QObject::connect(keeper.get(), &LineKeeper::disconnectWarningStarted,
                         [this] { shown << QStringLiteral("warning"); });
        QObject::connect(keeper.get(), &LineKeeper::connected,
                         [this] { shown << QStringLiteral("connected"); });
    }
    void dial(const QString& entry) {
        keeper->chooseEntry(entry, QStringLiteral("joe"), QStringLiteral("secret"));
        keeper->toggleConnection();
    }
    bool connected() {
        return time.advanceUntil([&] { return status.startsWith(QStringLiteral("Connected to")); },
                                 60000);
    }
    CallId onlyConnection() {
        QList<CallInfo> calls;
        lines.calls(&calls);
        return calls.size() == 1 ? calls[0].id : 0;
    }
    QStringList logMessages() const {
        static const QRegularExpression stamp(QStringLiteral("^\\[[^\\]]*\\]: "));
        QStringList messages;
        for (const QString& line : QString::fromLatin1(folder.read(QStringLiteral("log.txt")))
                                       .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            messages << QString(line).remove(stamp);
        messages.removeFirst();
        return messages;
    }
};

}  // namespace obu::test
