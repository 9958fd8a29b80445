// A close from another thread wakes whatever is blocked on the socket.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "platform/net/socket.h"

namespace qvl::net {
namespace {

using namespace std::chrono_literals;

constexpr auto kForever = 600000ms;  // only the close can end the calls below

// Runs the blocking call on its own thread, closes, and gives the call's status.
IoStatus statusAfterClose(const std::function<IoStatus()>& call, const std::function<void()>& close) {
    IoStatus status = IoStatus::ok;
    std::jthread blocked([&] { status = call(); });
    std::this_thread::sleep_for(20ms);  // most likely blocked by now; the result is the same either way
    close();
    blocked.join();
    return status;
}

TEST(NetCloseThreaded, CloseWakesABlockedReceiveOrAccept) {
    UdpSocket udp;
    ASSERT_EQ(udp.create(), 0);
    ASSERT_EQ(udp.bind(Address::loopback, 0), 0);
    ASSERT_EQ(udp.setReceiveTimeout(kForever), 0);
    std::array<char, 16384> buffer{};
    EXPECT_EQ(statusAfterClose([&] { return udp.receive(buffer).status; }, [&] { udp.close(); }), IoStatus::closed);

    TcpListener listener;
    ASSERT_EQ(listener.create(), 0);
    ASSERT_EQ(listener.bind(Address::loopback, 0), 0);
    ASSERT_EQ(listener.listen(), 0);
    int error = 0;
    auto client = TcpStream::connectTo(listener.localPort(), error);
    auto server = listener.accept(kForever).stream;
    ASSERT_TRUE(server);
    EXPECT_EQ(statusAfterClose([&] { return server->receive(buffer, kForever).status; }, [&] { server->close(); }),
              IoStatus::closed);
    EXPECT_EQ(statusAfterClose([&] { return listener.accept(kForever).result.status; }, [&] { listener.close(); }),
              IoStatus::closed);
}

// Threads use and close one socket at once; the sanitizers watch for races
// and for a descriptor used after its release.
TEST(NetCloseThreaded, ConcurrentUseAndCloseAreSafe) {
    for (int round = 0; round < 20; ++round) {
        auto socket = std::make_shared<UdpSocket>();
        ASSERT_EQ(socket->create(), 0);
        ASSERT_EQ(socket->bind(Address::loopback, 0), 0);
        ASSERT_EQ(socket->setReceiveTimeout(1ms), 0);
        const std::uint16_t port = socket->localPort();
        std::atomic<bool> go{false};
        constexpr int kThreads = 5;
        std::vector<std::jthread> threads;
        threads.reserve(kThreads);
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&go, socket, port, t] {
                while (!go.load()) std::this_thread::yield();
                if (t >= 3) return socket->close();
                std::array<char, 256> buffer{};
                for (int i = 0; i < 50 && socket->receive(buffer).status != IoStatus::closed; ++i) {
                    socket->sendTo("ping", port);
                }
            });
        }
        go.store(true);
        for (auto& th : threads) th.join();
        EXPECT_TRUE(socket->isClosed());
    }
}

}  // namespace
}  // namespace qvl::net
