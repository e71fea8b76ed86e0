// Runs inside networkmanager.sh's sandbox: a real NetworkManager on a private
// bus, with the profiles obu-line (comes up), obu-secret (needs a password
// that nobody gives) and obu-elsewhere (bound to a link that does not exist).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <iostream>
#include <optional>
#include <tuple>
#include <vector>

#include "dialup/networkmanager/NetworkManagerClient.h"
#include "dialup/networkmanager/NetworkManagerService.h"

namespace obu {
namespace {

constexpr int kDeadlineMs = 30000;

QString env(const char* name) {
    return qEnvironmentVariable(name);
}

// Runs a command of the sandbox, as another program would; says what it
// printed only when it failed.
bool run(const QString& program, const QStringList& arguments, bool quiet = false) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(kDeadlineMs) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok && !quiet)
        std::cerr << program.toStdString() << " " << arguments.join(' ').toStdString() << ": "
                  << process.readAll().toStdString();
    return ok;
}

bool nmcli(const QStringList& arguments, bool quiet = false) {
    return run(QStringLiteral("nmcli"), arguments, quiet);
}

// Every report of the client, in order.
class Reports {
public:
    explicit Reports(NetworkManagerClient& client) {
        QObject::connect(&client, &NetworkManagerClient::activeConnectionChanged, &client,
                         [this](const NmActiveConnection& c) { changes.push_back(c); });
        QObject::connect(&client, &NetworkManagerClient::activationFailed, &client,
                         [this](const QString& id, NmFailure failure, const QString&) {
                             refusals.push_back({id, failure});
                         });
    }
    // Waits for the profile's connection to reach the state and returns that report.
    NmActiveConnection waitFor(const QString& id, NmActiveState state) {
        const NmActiveConnection* found = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                for (size_t i = m_from; i < changes.size() && !found; ++i)
                    if (changes[i].id == id && changes[i].state == state) found = &changes[i];
                return found != nullptr;
            },
            kDeadlineMs);
        if (!found) {
            ADD_FAILURE() << id.toStdString() << " never reached state " << int(state);
            return {};
        }
        m_from = found - changes.data() + 1;
        return *found;
    }
    std::vector<NmActiveState> statesOf(const QString& id) const {
        std::vector<NmActiveState> states;
        for (const NmActiveConnection& c : changes)
            if (c.id == id) states.push_back(c.state);
        return states;
    }

    std::vector<NmActiveConnection> changes;
    std::vector<std::pair<QString, NmFailure>> refusals;

private:
    size_t m_from = 0;
};

class NetworkManager : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.available(); }, kDeadlineMs))
            << "the client never saw NetworkManager";
    }
    void TearDown() override { nmcli({"connection", "down", "obu-line"}, true); }

    bool hasProfile(const QString& id) const {
        for (const NmProfile& p : client.profiles())
            if (p.id == id) return true;
        return false;
    }

    NetworkManagerClient client;
    Reports reports{client};
};

TEST_F(NetworkManager, ListsProfilesAndFollowsTheirChanges) {
    NmProfile line;
    for (const NmProfile& p : client.profiles())
        if (p.id == "obu-line") line = p;
    EXPECT_EQ(line.type, "802-3-ethernet");
    EXPECT_EQ(line.uuid.size(), 36);
    EXPECT_TRUE(hasProfile("obu-secret"));

    ASSERT_TRUE(nmcli({"connection", "add", "type", "ethernet", "con-name", "obu-added", "ifname",
                       env("OBU_NM_LINK"), "connection.autoconnect", "no"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return hasProfile("obu-added"); }, kDeadlineMs));
    ASSERT_TRUE(nmcli({"connection", "modify", "obu-added", "connection.id", "obu-renamed"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return hasProfile("obu-renamed"); }, kDeadlineMs));
    EXPECT_FALSE(hasProfile("obu-added"));
    ASSERT_TRUE(nmcli({"connection", "delete", "obu-renamed"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !hasProfile("obu-renamed"); }, kDeadlineMs));
}

TEST_F(NetworkManager, DialsAndHangsUpItself) {
    ASSERT_TRUE(client.activate("obu-line"));
    reports.waitFor("obu-line", NmActiveState::Activated);
    const auto states = reports.statesOf("obu-line");
    EXPECT_EQ(states.front(), NmActiveState::Activating);
    bool listed = false;
    for (const NmActiveConnection& c : client.activeConnections())
        listed |= c.id == "obu-line" && c.state == NmActiveState::Activated;
    EXPECT_TRUE(listed);

    ASSERT_TRUE(client.deactivate("obu-line"));
    const NmActiveConnection end = reports.waitFor("obu-line", NmActiveState::Deactivated);
    EXPECT_TRUE(end.endedByThisClient);
    EXPECT_TRUE(end.wasActivated);
    EXPECT_EQ(end.failure(), NmFailure::None);
    EXPECT_FALSE(client.deactivate("obu-line")) << "nothing left to hang up";
}

TEST_F(NetworkManager, TellsOutsideActivationsAndDrops) {
    // Up and down by another program.
    ASSERT_TRUE(nmcli({"connection", "up", "obu-line"}));
    reports.waitFor("obu-line", NmActiveState::Activated);
    ASSERT_TRUE(nmcli({"connection", "down", "obu-line"}));
    NmActiveConnection end = reports.waitFor("obu-line", NmActiveState::Deactivated);
    EXPECT_FALSE(end.endedByThisClient);
    EXPECT_TRUE(end.wasActivated);
    EXPECT_EQ(end.failure(), NmFailure::None);

    // Dialled here, dropped by the device vanishing; then the link comes back.
    ASSERT_TRUE(client.activate("obu-line"));
    reports.waitFor("obu-line", NmActiveState::Activated);
    ASSERT_TRUE(run("ip", {"-n", env("OBU_NM_FAR_NETNS"), "link", "del", env("OBU_NM_FAR_LINK")}));
    end = reports.waitFor("obu-line", NmActiveState::Deactivated);
    EXPECT_FALSE(end.endedByThisClient);
    EXPECT_TRUE(end.wasActivated);
    EXPECT_EQ(end.failure(), NmFailure::DeviceMissing)
        << failureName(end.failure()) << " " << end.activeReason << "/" << end.deviceReason;
    ASSERT_TRUE(
        run("ip", {"-n", env("OBU_NM_NETNS"), "link", "add", env("OBU_NM_LINK"), "type", "veth",
                   "peer", "name", env("OBU_NM_FAR_LINK"), "netns", env("OBU_NM_FAR_NETNS")}));
    ASSERT_TRUE(
        run("ip", {"-n", env("OBU_NM_FAR_NETNS"), "link", "set", env("OBU_NM_FAR_LINK"), "up"}));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return nmcli({"--wait", "5", "connection", "up", "obu-line"}, true);
        },
        kDeadlineMs));
}

TEST_F(NetworkManager, ReportsFailuresWithTheirReasons) {
    EXPECT_FALSE(client.activate("obu-no-such-profile"));

    ASSERT_TRUE(client.activate("obu-secret"));
    const NmActiveConnection end = reports.waitFor("obu-secret", NmActiveState::Deactivated);
    EXPECT_FALSE(end.wasActivated);
    EXPECT_FALSE(end.endedByThisClient);
    EXPECT_EQ(end.failure(), NmFailure::LoginRefused)
        << failureName(end.failure()) << " " << end.activeReason << "/" << end.deviceReason;

    ASSERT_TRUE(client.activate("obu-elsewhere"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.refusals.empty(); }, kDeadlineMs));
    EXPECT_EQ(reports.refusals.front().first, "obu-elsewhere");
    EXPECT_EQ(reports.refusals.front().second, NmFailure::DeviceMissing);
}

// The dial-up service over the client: every profile is an entry here, the
// sandbox having only ethernet ones.
class NetworkManagerService : public NetworkManager {
protected:
    void SetUp() override {
        NetworkManager::SetUp();
        ASSERT_TRUE(QTest::qWaitFor([&] { return service.isSettled(); }, kDeadlineMs));
        QObject::connect(&service, &DialUpService::callStateChanged, &service,
                         [this](CallId id, CallState state, DialUpError error) {
                             stages.push_back({id, state, error});
                         });
        QObject::connect(&service, &DialUpService::callEnded, &service,
                         [this](CallId id, DialUpError error) {
                             ends.push_back({id, error});
                         });
    }
    void TearDown() override {
        nmcli({"connection", "down", "obu-line"}, true);
        (void)QTest::qWaitFor([&] { return listed().isEmpty(); }, kDeadlineMs);
    }
    DialUpError dial(const QString& entry, CallId* id) {
        DialRequest request;
        request.entry = entry;
        return service.dial(request, id);
    }
    QList<CallId> listed(obu::NetworkManagerService& which) {
        QList<CallInfo> calls;
        which.calls(&calls);
        QList<CallId> ids;
        for (const CallInfo& c : calls) ids << c.id;
        return ids;
    }
    QList<CallId> listed() { return listed(service); }
    // Waits for the call's end and returns its error.
    DialUpError endOf(CallId id) {
        std::optional<DialUpError> error;
        (void)QTest::qWaitFor(
            [&] {
                for (const auto& [ended, code] : ends)
                    if (ended == id) error = code;
                return error.has_value();
            },
            kDeadlineMs);
        ends.clear();
        if (!error) ADD_FAILURE() << "the call never ended";
        return error.value_or(~0u);
    }
    // The stages told for the call, the failing one with its error.
    std::vector<std::pair<CallState, DialUpError>> stagesOf(CallId id) const {
        std::vector<std::pair<CallState, DialUpError>> result;
        for (const auto& [of, state, error] : stages)
            if (of == id) result.push_back({state, error});
        return result;
    }

    obu::NetworkManagerService service{true};
    std::vector<std::tuple<CallId, CallState, DialUpError>> stages;
    std::vector<std::pair<CallId, DialUpError>> ends;
};

TEST_F(NetworkManagerService, DialsHangsUpAndTellsAnOutsideDrop) {
    QList<EntryInfo> entries;
    ASSERT_EQ(service.entries({}, &entries), dialup_error::None);
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const EntryInfo& e) {
        return e.name == "obu-line" && e.source == "NetworkManager";
    }));
    // Only the kinds a user dials, unless every profile is asked for.
    obu::NetworkManagerService dialledOnly(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialledOnly.isSettled(); }, kDeadlineMs));
    dialledOnly.entries({}, &entries);
    EXPECT_TRUE(entries.isEmpty());

    CallId id = 0;
    ASSERT_EQ(dial("obu-line", &id), dialup_error::None);
    EXPECT_TRUE(id & obu::NetworkManagerService::kIdBit);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !stagesOf(id).empty() && stagesOf(id).back().first == CallState::Connected; },
        kDeadlineMs));
    using S = CallState;
    const std::vector<std::pair<CallState, DialUpError>> expected = {{S::OpenPort, 0},
                                                                     {S::PortOpened, 0},
                                                                     {S::ConnectDevice, 0},
                                                                     {S::DeviceConnected, 0},
                                                                     {S::Connected, 0}};
    EXPECT_EQ(stagesOf(id), expected);
    // Another process's service lists the same call under the same id.
    obu::NetworkManagerService other(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(other) == QList<CallId>{id}; }, kDeadlineMs));
    EXPECT_EQ(listed(), QList<CallId>{id});

    ASSERT_TRUE(nmcli({"connection", "down", "obu-line"}));
    EXPECT_EQ(endOf(id), dialup_error::RemoteDisconnection);
    EXPECT_TRUE(listed().isEmpty());
    CallInfo status;
    ASSERT_EQ(service.callStatus(id, &status), dialup_error::None);
    EXPECT_EQ(status.state, CallState::Disconnected);
    EXPECT_EQ(status.error, dialup_error::RemoteDisconnection);
    EXPECT_EQ(service.hangUp(id), dialup_error::None);
    EXPECT_EQ(service.callStatus(id, &status), dialup_error::InvalidCall);

    // Its own hang-up is no drop, and leaves the profile down.
    ASSERT_EQ(dial("obu-line", &id), dialup_error::None);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !stagesOf(id).empty() && stagesOf(id).back().first == CallState::Connected; },
        kDeadlineMs));
    ASSERT_EQ(service.hangUp(id), dialup_error::None);
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(endOf(id), dialup_error::None);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(other).isEmpty(); }, kDeadlineMs));
}

// The busy redial hangs up and dials again at once, a user may connect again
// at once after a drop: the new dial must not be ended by the old connection's
// end, whether NetworkManager had named the old one or not.
TEST_F(NetworkManagerService, DialsAgainWhileTheOldConnectionGoesDown) {
    const auto connected = [&](CallId id) {
        return QTest::qWaitFor(
            [&] {
                CallInfo status;
                return service.callStatus(id, &status) == 0 && status.state == CallState::Connected;
            },
            kDeadlineMs);
    };
    CallId first = 0, second = 0;
    ASSERT_EQ(dial("obu-line", &first), dialup_error::None);
    ASSERT_EQ(service.hangUp(first), dialup_error::None);
    ASSERT_EQ(dial("obu-line", &second), dialup_error::None);
    EXPECT_TRUE(connected(second));

    ASSERT_EQ(service.hangUp(second), dialup_error::None);
    ASSERT_EQ(dial("obu-line", &second), dialup_error::None);
    EXPECT_TRUE(connected(second));
    // Still up once the old connection's end has come and been told.
    reports.waitFor("obu-line", NmActiveState::Deactivated);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(listed(), QList<CallId>{second});
    for (const auto& [id, error] : ends) EXPECT_EQ(error, dialup_error::None);

    // Dropped from outside and dialled again as soon as the drop is told,
    // while the old connection is still going down.
    CallId again = 0;
    const auto redial = QObject::connect(&service, &DialUpService::callEnded, &service,
                                         [&](CallId, DialUpError error) {
                                             if (error == dialup_error::RemoteDisconnection)
                                                 dial("obu-line", &again);
                                         });
    QProcess down;
    down.start("nmcli", {"connection", "down", "obu-line"});
    EXPECT_EQ(endOf(second), dialup_error::RemoteDisconnection);
    QObject::disconnect(redial);
    ASSERT_NE(again, 0u);
    EXPECT_TRUE(connected(again));
    down.waitForFinished(kDeadlineMs);
    reports.waitFor("obu-line", NmActiveState::Deactivated);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(listed(), QList<CallId>{again});
}

TEST_F(NetworkManagerService, ReportsFailedDialsWithTheServiceErrors) {
    CallId id = 0;
    EXPECT_EQ(dial("obu-no-such-profile", &id), dialup_error::CannotFindEntry);
    EXPECT_EQ(id, 0u);

    ASSERT_EQ(dial("obu-secret", &id), dialup_error::None);
    EXPECT_EQ(endOf(id), dialup_error::AuthenticationFailure);
    EXPECT_EQ(stagesOf(id).back().second, dialup_error::AuthenticationFailure);

    ASSERT_EQ(dial("obu-elsewhere", &id), dialup_error::None);
    EXPECT_EQ(endOf(id), dialup_error::DeviceDoesNotExist);
    EXPECT_EQ(stagesOf(id).back(),
              std::make_pair(CallState::OpenPort, dialup_error::DeviceDoesNotExist));
    EXPECT_FALSE(service.failureDetail(id).isEmpty());
    EXPECT_FALSE(service.errorText(dialup_error::DeviceDoesNotExist).isEmpty());
    EXPECT_TRUE(listed().isEmpty());
}

// Run where no bus answers, or no NetworkManager is on the bus.
TEST(NetworkManagerAbsent, IsSilentAndUnavailable) {
    NetworkManagerClient client;
    // The client's question to the bus is answered before this one, on the same connection.
    QDBusConnection bus = QDBusConnection::connectToBus(env("DBUS_SYSTEM_BUS_ADDRESS"),
                                                        QStringLiteral("obu-system-bus"));
    if (bus.isConnected()) bus.interface()->isServiceRegistered("org.freedesktop.NetworkManager");
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(client.available());
    EXPECT_TRUE(client.profiles().isEmpty());
    EXPECT_FALSE(client.activate("obu-line"));
    EXPECT_FALSE(client.deactivate("obu-line"));

    obu::NetworkManagerService service(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.isSettled(); }, kDeadlineMs));
    QList<EntryInfo> entries;
    EXPECT_EQ(service.entries({}, &entries), dialup_error::None);
    EXPECT_TRUE(entries.isEmpty());
    DialRequest request;
    request.entry = QStringLiteral("obu-line");
    CallId id = 0;
    EXPECT_EQ(service.dial(request, &id), dialup_error::CannotFindEntry);
}

// Started before NetworkManager; networkmanager.sh starts it on the first
// line below, and restarts it on the second.
TEST(NetworkManagerArrives, FollowsItComingAndGoing) {
    NetworkManagerClient client;
    std::vector<bool> changes;
    QObject::connect(&client, &NetworkManagerClient::availableChanged, &client,
                     [&](bool available) { changes.push_back(available); });
    std::cout << "waiting for NetworkManager" << std::endl;
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.available(); }, kDeadlineMs));
    std::cout << "NetworkManager seen" << std::endl;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !client.available(); }, kDeadlineMs));
    EXPECT_TRUE(client.profiles().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.available(); }, kDeadlineMs));
    // A starting NetworkManager may list its profiles as it loads them.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (const NmProfile& p : client.profiles())
                if (p.id == "obu-line") return true;
            return false;
        },
        kDeadlineMs))
        << "the profiles are read again";
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true}));
}

}  // namespace
}  // namespace obu

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
