// The link probe against real sockets on the loopback: a listener that
// answers, a port that refuses, a listener that never accepts in time, and a
// name that does not resolve.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <optional>

#include "platform/QtEventLoop.h"
#include "platform/TcpLinkProbe.h"

namespace obu::test {
namespace {

// A listening socket on 127.0.0.1 with a free port; backlog 0 and no accept.
struct Listener {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    Listener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    void listen() { ::listen(fd, 1); }
    ~Listener() { ::close(fd); }
};

class TcpLinkProbeTest : public ::testing::Test {
protected:
    QtEventLoop loop;
    TcpLinkProbe probe{loop};

    std::optional<QString> answer(const QString& host, int port, int timeoutMs = 5000) {
        std::optional<QString> result;
        probe.probe(host, port, timeoutMs, [&](const QString& failure) { result = failure; });
        QElapsedTimer clock;
        clock.start();
        while (!result && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return result;
    }
};

TEST_F(TcpLinkProbeTest, ReachedRefusedAndUnknownAreToldApart) {
    Listener listener;
    listener.listen();
    const std::optional<QString> reached = answer(QStringLiteral("127.0.0.1"), listener.port);
    ASSERT_TRUE(reached);
    EXPECT_TRUE(reached->isEmpty()) << reached->toStdString();

    Listener closed;  // bound, not listening: the port refuses
    const std::optional<QString> refused = answer(QStringLiteral("127.0.0.1"), closed.port);
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->contains(QStringLiteral("refused"))) << refused->toStdString();

    const std::optional<QString> unknown = answer(QStringLiteral("no-such-host.invalid"), 80);
    ASSERT_TRUE(unknown);
    EXPECT_TRUE(unknown->startsWith(QStringLiteral("cannot find no-such-host.invalid")))
        << unknown->toStdString();
}

TEST_F(TcpLinkProbeTest, ACancelledProbeNeverAnswers) {
    Listener listener;
    listener.listen();
    bool answered = false;
    probe.probe(QStringLiteral("127.0.0.1"), listener.port, 5000,
                [&](const QString&) { answered = true; });
    probe.cancel();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(answered);
}

}  // namespace
}  // namespace obu::test

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
