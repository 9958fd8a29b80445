// The traffic client link against the stand-in traffic client, which
// answers and records on its own thread as the real client would.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "feed/realtraffic_link.h"
#include "feed/support/feed_fixture.h"
#include "tools/traffic_client/stand_in_client.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;
using standin::ReplyShape;
using standin::StandInClient;

constexpr auto kWait = 20000ms;  // bounds a broken test only

// How often the text stands in the text.
std::size_t countOf(const std::string& text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Raises the close button after the limit unless stopped first: a call that
// waits for a client then ends, and the test sees that it had to be ended.
class Watchdog {
public:
    Watchdog(RunState& run, std::chrono::milliseconds limit)
        : thread_([&run, limit, this](const std::stop_token& stop) {
              std::unique_lock lock(mutex_);
              cv_.wait_for(lock, stop, limit, [] { return false; });
              if (!stop.stop_requested()) run.closeRequested.store(true);
          }) {}

private:
    std::mutex mutex_;
    std::condition_variable_any cv_;
    std::jthread thread_;  // last: stopped and joined before the rest goes
};

// A client that connects and is gone at once, with a reset, so that the
// program's first send to it fails.
void knockAndReset(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const linger reset{.l_onoff = 1, .l_linger = 0};
    EXPECT_EQ(::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    ::close(fd);
    // The reset travels through the system's loopback queue: let it arrive.
    std::this_thread::sleep_for(50ms);
}

TrafficRecord someRecord() {
    TrafficRecord record;
    record.hexId = 4490501;
    record.sample.dueTick = 3000;
    return record;
}

class LinkThreaded : public test::FeedTest {
protected:
    void SetUp() override {
        FeedTest::SetUp();
        feed.rtLocal.store(true);
        link.startTcpServer("0");
    }

    standin::Options standInOptions(ReplyShape shape = ReplyShape::whole) const {
        standin::Options o;
        o.tcpPort = link.listeningPort();
        o.reply = shape;
        o.connectRetry = 10ms;
        o.connectTimeout = kWait;
        return o;
    }

    RealTrafficLink link{feed, run, readers, {.poll = 20ms, .versionReply = 500ms}};
};

TEST_F(LinkThreaded, HandshakeWithEachReplyShape) {
    // Each round also shows that the close cleared the connected flag: the next client is asked again.
    struct Case {
        ReplyShape shape;
        int level;
        bool answered;  // a version reply reached the link
        std::string text;
    };
    const Case cases[] = {
        {.shape = ReplyShape::whole, .level = 2, .answered = true, .text = "RT prof edition: 10.0.1"},
        {.shape = ReplyShape::split, .level = 1, .answered = true, .text = "RT stnd edition: 10.0.1"},
        {.shape = ReplyShape::empty, .level = 2, .answered = false, .text = ""},
        {.shape = ReplyShape::missing, .level = 2, .answered = false, .text = ""},
    };
    for (const auto& [shape, level, answered, text] : cases) {
        SCOPED_TRACE(text);
        feed.setRealTrafficText({});
        resetMessages();
        auto options = standInOptions(shape);
        options.level = level;
        options.splitPause = 100ms;
        StandInClient client(options);
        ASSERT_TRUE(client.connect());
        link.waitForRealTraffic();
        EXPECT_TRUE(link.connected());
        EXPECT_EQ(feed.realTrafficText(), text);
        EXPECT_EQ(feed.time.rtEdition.load(), level == 2 && answered);
        EXPECT_EQ(logHas("No RealTraffic version received?"), !answered);
        EXPECT_TRUE(feed.realTrafficDisplay.load() && !feed.waitingForRealTraffic.load());
        EXPECT_TRUE(client.waitForLine("Qs999=version", kWait));
        EXPECT_FALSE(link.waitForClient());  // one client at a time
        link.close();
        link.close();  // a second close changes nothing
        EXPECT_FALSE(link.connected());
        EXPECT_TRUE(client.waitForExit(kWait));
        link.startTcpServer("0");
    }
    EXPECT_TRUE(logHas("Waiting for RealTraffic to connect to Quorvelant ...\nRealTraffic connected\n"));
}

TEST_F(LinkThreaded, ACloseFromAnotherThreadEndsTheWaitForAClient) {
    std::jthread runThread([&] { link.waitForRealTraffic(); });
    ASSERT_TRUE(test::eventually([] { return messageLines().message.find("Waiting for RealTraffic") == 0; }));
    // The window's close and the run's end close the link at the same time.
    std::jthread ui([&] { link.close(); });
    link.close();
    ui.join();
    runThread.join();  // the wait has ended
    EXPECT_FALSE(link.connected());
    EXPECT_FALSE(feed.realTrafficDisplay.load());
}

TEST_F(LinkThreaded, AGoneClientIsWaitedForAndNotAskedAgain) {
    std::atomic<int> gone{0};
    realTrafficGone = [&] { ++gone; };
    const UserState user{
        .latitude = 47.4647, .longitude = 8.5492, .heading = 1.0, .altitude = 1500.0, .groundSpeed = 140.0};
    {
        StandInClient first(standInOptions());
        ASSERT_TRUE(first.connect());
        link.waitForRealTraffic();
        link.sendUserPosition(user);
        ASSERT_TRUE(first.waitForLine("Qs121=", kWait));
        first.dropLink();
    }
    // The first lines after the drop may still be taken by the system.
    for (int i = 0; i < 200 && link.connected(); ++i) link.sendUserPosition(user);
    ASSERT_FALSE(link.connected());
    EXPECT_EQ(gone.load(), 1);
    EXPECT_FALSE(feed.realTrafficDisplay.load());
    EXPECT_TRUE(logHas("sendDataPacket to RealTraffic failed: 10054 Connection reset by peer\n"));

    StandInClient second(standInOptions());
    ASSERT_TRUE(second.connect());
    link.sendUserPosition(user);  // waits for the client, without a line
    EXPECT_TRUE(link.connected() && feed.realTrafficDisplay.load());
    link.sendUserPosition(user);
    ASSERT_TRUE(second.waitForLine("Qs121=", kWait));
    for (const auto& line : second.receivedLines()) EXPECT_NE(line.text, "Qs999=version");
    EXPECT_EQ(gone.load(), 1);

    // Once a run has its end reason, a gone client is not waited for.
    second.dropLink();
    for (int i = 0; i < 200 && link.connected(); ++i) link.sendUserPosition(user);
    run.endRun(RestartReason::readerError, 15);
    run.closingFlag.store(false);
    link.sendUserPosition(user);
    EXPECT_FALSE(link.connected());
}

TEST_F(LinkThreaded, AClientGoneAtAnySendTakesTheAircraftAwayAndTheLoopTicksOn) {
    std::vector<std::string> live;  // stands for the engine's live aircraft
    std::atomic<int> gone{0};
    realTrafficGone = [&] {
        ++gone;
        live.clear();
    };
    const UserState user{
        .latitude = 47.4647, .longitude = 8.5492, .heading = 1.0, .altitude = 1500.0, .groundSpeed = 140.0};
    constexpr std::int64_t kSimTime = 1767225600;
    auto client = std::make_unique<StandInClient>(standInOptions());  // a "prof" client
    ASSERT_TRUE(client->connect());
    link.waitForRealTraffic();
    ASSERT_TRUE(feed.time.rtEdition.load());

    enum class FailingSend { simTime, userPosition };
    int round = 0;
    for (const FailingSend failing : {FailingSend::simTime, FailingSend::userPosition}) {
        SCOPED_TRACE(failing == FailingSend::simTime ? "Qs123" : "Qs121");
        ++round;
        live = {"QVA123", "QVB456", "QVC789"};
        client->dropLink();
        // The first lines after the drop may still be taken by the system.
        for (int i = 0; i < 200 && link.connected(); ++i) {
            if (failing == FailingSend::simTime) {
                link.sendQs123(kSimTime + i);
            } else {
                link.sendUserPosition(user);
            }
        }
        ASSERT_FALSE(link.connected());
        EXPECT_EQ(gone.load(), round);
        EXPECT_TRUE(live.empty());
        EXPECT_FALSE(feed.realTrafficDisplay.load());
        EXPECT_NE(messageLines().message.find(" RealTraffic gone? Wait for RealTraffic to re-connect ..."),
                  std::string::npos);
        const std::string text = log.text();
        EXPECT_EQ(countOf(text, "RealTraffic client socket closed\n"), static_cast<std::size_t>(round));
        EXPECT_EQ(countOf(text, " RealTraffic gone? Wait for RealTraffic to re-connect ...\n"),
                  static_cast<std::size_t>(round));

        // Nobody there: each second of the main loop looks for the client
        // and goes on.
        {
            const Watchdog watchdog(run, kWait);
            for (int second = 0; second < 20; ++second) {
                link.sendUserPosition(user);
                if (second % 5 == 0) link.sendQs123(kSimTime + second);
            }
        }
        ASSERT_FALSE(run.isClosing()) << "a send waited for the client";
        EXPECT_FALSE(link.connected());
        EXPECT_EQ(gone.load(), round);

        // ... until a client comes back; it is not asked for its version.
        client = std::make_unique<StandInClient>(standInOptions());
        ASSERT_TRUE(client->connect());
        ASSERT_TRUE(test::eventually([&] {
            link.sendUserPosition(user);
            return link.connected();
        }));
        EXPECT_TRUE(feed.realTrafficDisplay.load());
        EXPECT_EQ(countOf(log.text(), " RealTraffic re-connected\n"), static_cast<std::size_t>(round));
        link.sendUserPosition(user);
        ASSERT_TRUE(client->waitForLine("Qs121=", kWait));
        for (const auto& line : client->receivedLines()) EXPECT_NE(line.text, "Qs999=version");
    }
}

TEST_F(LinkThreaded, AClientGoneBeforeItHeardTheVersionRequestIsPassedOverForTheNext) {
    knockAndReset(link.listeningPort());
    StandInClient next(standInOptions());
    ASSERT_TRUE(next.connect());
    link.waitForRealTraffic();
    EXPECT_TRUE(link.connected());
    EXPECT_TRUE(next.waitForLine("Qs999=version", kWait));
    EXPECT_EQ(feed.realTrafficText(), "RT prof edition: 10.0.1");
    EXPECT_TRUE(feed.time.rtEdition.load());
    EXPECT_FALSE(logHas("No RealTraffic version received?"));
    // The traffic of the client that answered is taken.
    EXPECT_TRUE(queue.push(someRecord()));
}

TEST_F(LinkThreaded, AGoneClientIsMournedOnceHowEverManySendsFail) {
    std::atomic<int> gone{0};
    realTrafficGone = [&] { ++gone; };
    const UserState user{.latitude = 47.4647, .longitude = 8.5492, .altitude = 1500.0};
    auto client = std::make_unique<StandInClient>(standInOptions());
    ASSERT_TRUE(client->connect());
    link.waitForRealTraffic();
    ASSERT_TRUE(queue.push(someRecord()));
    client->dropLink();
    // The first lines after the drop may still be taken by the system.
    for (int i = 0; i < 200 && link.connected(); ++i) link.sendUserPosition(user);
    ASSERT_FALSE(link.connected());
    EXPECT_FALSE(link.sendDataPacket("Qs123=1767225600000\r\n"));
    EXPECT_FALSE(link.sendDataPacket("Qs123=1767225601000\r\n"));
    EXPECT_EQ(gone.load(), 1);
    EXPECT_EQ(countOf(log.text(), " RealTraffic gone? Wait for RealTraffic to re-connect ...\n"), 1U);

    // What the client sent before it went makes no aircraft, nor does anything until a client returns.
    EXPECT_EQ(queue.size(), 0U);
    EXPECT_FALSE(queue.push(someRecord()));
    client = std::make_unique<StandInClient>(standInOptions());
    ASSERT_TRUE(client->connect());
    ASSERT_TRUE(test::eventually([&] {
        link.sendUserPosition(user);
        return link.connected();
    }));
    EXPECT_TRUE(queue.push(someRecord()));
    EXPECT_EQ(gone.load(), 1);
}

}  // namespace
}  // namespace qvl
