// The traffic client link on loopback, driven from the test's own thread.
#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <limits>

#include "feed/realtraffic_link.h"
#include "feed/socket_error.h"
#include "feed/support/feed_fixture.h"
#include "platform/net/socket.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;

constexpr int kWsaAddressInUse = 10048;  // WSAEADDRINUSE

class Link : public test::FeedTest {
protected:
    void SetUp() override {
        FeedTest::SetUp();
        feed.rtLocal.store(true);
        link.startTcpServer("0");
    }
    std::shared_ptr<net::TcpStream> connectClient(std::string_view reply = {}) {
        int error = 0;
        auto client = net::TcpStream::connectTo(link.listeningPort(), error);
        EXPECT_TRUE(client) << error;
        if (client && !reply.empty()) client->send(reply);
        return client;
    }
    // What the client has received, waiting at most firstWait for the first bytes.
    static std::string drain(net::TcpStream& client, std::chrono::milliseconds firstWait = 2000ms) {
        std::string text;
        std::array<char, 4096> buffer{};
        for (auto r = client.receive(buffer, firstWait); r.status == net::IoStatus::ok;
             r = client.receive(buffer, 50ms)) {
            text.append(buffer.data(), r.bytes);
        }
        return text;
    }

    RealTrafficLink link{feed, run, readers, {.poll = 20ms, .versionReply = 300ms}};
};

TEST_F(Link, VersionReplies) {
    struct Good {
        const char* reply;
        const char* text;
        bool professional;
    };
    const Good good[] = {
        {.reply = R"({"level": 2, "version": "10.0.1"})", .text = "RT prof edition: 10.0.1", .professional = true},
        {.reply = R"({"level": 1})", .text = "RT stnd edition: ", .professional = false},
        {.reply = R"({"version": "9", "level": 2.0})", .text = "RT prof edition: 9", .professional = true},
    };
    for (const auto& [reply, text, professional] : good) {
        link.processRTVersion(reply);
        EXPECT_EQ(feed.realTrafficText(), text);
        EXPECT_EQ(feed.time.rtEdition.load(), professional);
    }
    // An empty reply leaves edition and text as they were.
    link.processRTVersion("\r\n");
    EXPECT_EQ(feed.realTrafficText(), "RT prof edition: 9");
    EXPECT_EQ(messageLines().message, "No RealTraffic version received?");
    for (const char* bad : {"[2]", R"({"level": "2"})", R"({"level": 2, "version": 10})", "{level:2}"}) {
        feed.time.rtEdition.store(true);
        link.processRTVersion(bad);
        EXPECT_FALSE(feed.time.rtEdition.load()) << bad;
        EXPECT_EQ(feed.realTrafficText(), "") << bad;
    }
    EXPECT_TRUE(logHas("lf_processRTVersion: JSON parse failed: "));
    EXPECT_EQ(completeJsonObjectLength("\r\n {\"a\":{\"b\":\"}\"}}\r\nrest"), 18u);
    EXPECT_EQ(completeJsonObjectLength(R"({"level":2)"), 0u);
    EXPECT_EQ(completeJsonObjectLength("[1]"), 0u);
}

TEST_F(Link, ServerListensOnLoopbackOnly) {
    // /proc/net/tcp shows the listening socket's address in hex: 0100007F is 127.0.0.1.
    const std::string text = test::readFile("/proc/net/tcp");
    EXPECT_NE(text.find(fmt::format("0100007F:{:04X} 00000000:0000 0A", link.listeningPort())), std::string::npos);
    EXPECT_EQ(text.find(fmt::format("00000000:{:04X} 00000000:0000 0A", link.listeningPort())), std::string::npos);

    RealTrafficLink other{feed, run, readers};
    try {
        other.startTcpServer(std::to_string(link.listeningPort()));
        ADD_FAILURE() << "a second server bound the same port";
    } catch (const SocketError& e) {
        EXPECT_EQ(e.step(), SocketStep::bind);
        EXPECT_EQ(e.code(), kWsaAddressInUse);
    }
}

TEST_F(Link, WaitsEndOnTheClosingFlags) {
    run.closeRequested.store(true);
    link.waitForRealTraffic();  // nobody connects; the close button ends the wait
    EXPECT_FALSE(link.connected());
    auto client = connectClient();
    run.closeRequested.store(false);
    run.closingFlag.store(true);
    EXPECT_FALSE(link.waitForClient());
    run.closingFlag.store(false);
    ASSERT_TRUE(link.waitForClient());
    run.closingFlag.store(true);  // a silent client cannot hold the run's end
    EXPECT_EQ(link.receiveVersionReply(), "");
}

TEST_F(Link, UserStateAndTimeLines) {
    auto client = connectClient();
    ASSERT_TRUE(link.waitForClient());
    // No position yet: nothing.
    link.sendUserPosition({.latitude = 0.00005, .longitude = -0.0001, .pitch = 0.1, .altitude = 1000.0});
    link.sendQs123(0);  // no time yet: nothing
    const UserState user{.latitude = 48.1103,
                         .longitude = 16.5697,
                         .pitch = 0.05,
                         .bank = -0.02,
                         .heading = 4.712389,
                         .altitude = 35000.0,
                         .groundSpeed = 250.5};
    link.sendUserPosition(user);
    link.sendQs123(1767225600);
    // Whole numbers: 35000 ft must not reach the client as 4e+07.
    EXPECT_EQ(drain(*client), "Qs121=5000;-2000;4.712389;35000000;250500;0.839683;0.289196\r\nQs123=1767225600000\r\n");
    feed.rtLocal.store(false);
    link.sendUserPosition(user);
    EXPECT_EQ(drain(*client, 50ms), "");
}

TEST_F(Link, TheTimeGoesOnlyToAConnectedClientAndOnlyWhenItFits) {
    // A client that knocks but was not taken yet is no connected client.
    auto client = connectClient();
    const std::string logged = log.text();
    link.sendQs123(1767225600);
    EXPECT_EQ(log.text(), logged) << "no failed send is reported";
    EXPECT_FALSE(link.connected());

    ASSERT_TRUE(link.waitForClient());
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max() / 1000;
    link.sendQs123(kLargest + 1);  // its milliseconds do not fit
    link.sendQs123(std::numeric_limits<std::int64_t>::max());
    link.sendQs123(kLargest);
    link.sendQs123(1767225600);
    EXPECT_EQ(drain(*client), fmt::format("Qs123={}000\r\nQs123=1767225600000\r\n", kLargest));
    EXPECT_TRUE(link.connected());
}

TEST_F(Link, AClientLostWhileTheRunClosesIsNeitherReportedNorMourned) {
    int gone = 0;
    realTrafficGone = [&] { ++gone; };
    auto client = connectClient();
    ASSERT_TRUE(link.waitForClient());
    feed.realTrafficDisplay.store(true);
    client->close();
    run.closeRequested.store(true);  // the window's close, which sets no restart reason
    const UserState user{.latitude = 48.1103, .longitude = 16.5697, .altitude = 1500.0};
    // The first lines after the close may still be taken by the system.
    for (int i = 0; i < 200 && link.connected(); ++i) link.sendUserPosition(user);
    ASSERT_FALSE(link.connected());
    EXPECT_FALSE(feed.realTrafficDisplay.load());
    // Failures while the run ends are on purpose: no log line, the aircraft stay for the end of the run.
    EXPECT_FALSE(logHas("sendDataPacket to RealTraffic failed"));
    EXPECT_FALSE(logHas("RealTraffic client socket closed"));
    EXPECT_EQ(gone, 0);
    EXPECT_EQ(messageLines().message, "");
}

}  // namespace
}  // namespace qvl
