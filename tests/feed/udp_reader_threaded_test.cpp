// The readers' receive loops on loopback, each on its own thread as in the program.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "feed/readers.h"
#include "feed/support/feed_fixture.h"
#include "platform/net/socket.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::LineBuilder;

class ReaderThread : public test::FeedTest {
protected:
    void SetUp() override {
        FeedTest::SetUp();
        ASSERT_EQ(sender.create(), 0);
    }
    void start(ClientLocation client) {
        feed.rtLocal.store(client == ClientLocation::thisPc);
        readers.startTrafficReader(0);
        ASSERT_TRUE(eventually([this] { return traffic.boundPort() != 0; }));
    }
    void send(const std::string& datagram) { sender.sendTo(datagram, traffic.boundPort()); }
    void sendLine(std::uint32_t hexId) { send(LineBuilder{}.set(LineBuilder::hexId, std::to_string(hexId)).text()); }
    std::vector<std::uint32_t> queuedHexIds() {
        std::vector<TrafficRecord> records;
        queue.takeFront(records, 100);
        std::vector<std::uint32_t> ids;
        ids.reserve(records.size());
        for (const auto& r : records) ids.push_back(r.hexId);
        return ids;
    }

    net::UdpSocket sender;
};

TEST_F(ReaderThread, RepeatedDatagramsFromARemoteClientCountOnce) {
    start(ClientLocation::otherPc);
    for (const std::uint32_t id : {20001u, 20001u, 20002u, 20001u, 20003u}) sendLine(id);
    ASSERT_TRUE(eventually([this] { return queue.size() == 4; }));
    EXPECT_EQ(traffic.packetCount(), 4u);
    EXPECT_EQ(queuedHexIds(), (std::vector<std::uint32_t>{20001, 20002, 20001, 20003}));
}

TEST_F(ReaderThread, TheLastDatagramOfARunIsNoRepeatInTheNext) {
    start(ClientLocation::otherPc);
    sendLine(20001);
    ASSERT_TRUE(eventually([this] { return queue.size() == 1; }));
    readers.stop();
    readers.resetTrafficSide();
    start(ClientLocation::otherPc);
    sendLine(20001);
    EXPECT_TRUE(eventually([this] { return queue.size() == 2; }));
}

TEST_F(ReaderThread, OnThisPcEveryDatagramCountsThenAStopEndsTheReader) {
    start(ClientLocation::thisPc);
    for (const std::uint32_t id : {20001u, 20001u, 20002u}) sendLine(id);
    ASSERT_TRUE(eventually([this] { return queue.size() == 3; }));
    EXPECT_EQ(queuedHexIds(), (std::vector<std::uint32_t>{20001, 20001, 20002}));
    EXPECT_TRUE(logHas("Traffic Reader connected"));
    EXPECT_EQ(feed.weatherLamp.load(), ReaderLamp::receiving);
    // Stale after a look that saw nothing new, back on with the next datagram.
    traffic.refreshLamp();
    traffic.refreshLamp();
    EXPECT_EQ(feed.trafficLamp.load(), ReaderLamp::stale);
    sendLine(20004);
    ASSERT_TRUE(eventually([this] { return traffic.packetCount() == 4; }));
    traffic.refreshLamp();
    EXPECT_EQ(feed.trafficLamp.load(), ReaderLamp::receiving);

    readers.stop();  // wakes the blocked receive and joins the thread
    EXPECT_TRUE(logHas("Traffic Reader has stopped\n"));
    EXPECT_TRUE(logHas("Traffic Reader disconnected\n"));
    EXPECT_EQ(feed.trafficLamp.load(), ReaderLamp::stopped);
    EXPECT_FALSE(run.closingFlag.load());  // a stop is no error
    readers.resetTrafficSide();            // the next run starts the reader again
    start(ClientLocation::thisPc);
    sendLine(20005);
    ASSERT_TRUE(eventually([this] { return queue.size() == 2; }));
}

TEST_F(ReaderThread, OversizedDatagramsAreLoggedAndTheReaderGoesOn) {
    start(ClientLocation::thisPc);
    send(std::string(16384, 'x'));
    sendLine(20001);
    ASSERT_TRUE(eventually([this] { return queue.size() == 1; }));
    EXPECT_TRUE(logHas("buffer overrun: 16384 bytes"));
    EXPECT_EQ(traffic.packetCount(), 1u);
    run.closingFlag.store(true);  // while the run is closing the drop is not logged
    send(std::string(20000, 'x'));
    sendLine(20002);
    ASSERT_TRUE(eventually([this] { return queue.size() == 2; }));
    EXPECT_FALSE(logHas("buffer overrun: 20000"));
    EXPECT_EQ(run.restartReason.load(), RestartReason::notYetSet);
}

TEST_F(ReaderThread, AFloodOfOversizedDatagramsIsCountedAndTheCountLoggedAfterItStops) {
    std::atomic<std::int64_t> seconds{0};  // the reader's clock, moved by the test
    TrafficReader reader{queue, feed, run, filter,
                         [&seconds] { return std::chrono::steady_clock::time_point(std::chrono::seconds(seconds)); }};
    reader.setOwnPosition(test::kOwnPosition);
    std::jthread body([&reader](const std::stop_token& stop) { reader.threadBody(stop, 0, ClientLocation::thisPc); });
    ASSERT_TRUE(eventually([&reader] { return reader.boundPort() != 0; }));
    for (int i = 0; i < 10; ++i) sender.sendTo(std::string(16384, 'x'), reader.boundPort());
    sender.sendTo(LineBuilder{}.text(), reader.boundPort());
    ASSERT_TRUE(eventually([this] { return queue.size() == 1; }));
    EXPECT_TRUE(logHas("further oversized datagrams to the Traffic Reader are only counted"));
    // Nothing more arrives: the reader's own wake-ups write the count once the minute is over.
    seconds.store(60);
    EXPECT_TRUE(eventually(
        [this] { return logHas("    5 more oversized datagrams to the Traffic Reader in the last 60 s\n"); }));
    const std::string text = log.text();
    std::size_t full = 0;
    for (auto at = text.find("buffer overrun: 16384 bytes"); at != std::string::npos;
         at = text.find("buffer overrun", at + 1)) {
        ++full;
    }
    EXPECT_EQ(full, 5U);
    reader.requestStop();
}

// A bind failure ends the run with a reader error, unless a stop closed the
// socket under a reader that was still setting it up.
TEST_F(ReaderThread, ABindFailureIsAReaderErrorUnlessAStopCameFirst) {
    net::UdpSocket holder;
    ASSERT_EQ(holder.create(), 0);
    ASSERT_EQ(holder.bind(net::Address::loopback, 0), 0);
    traffic.requestStop();
    traffic.threadBody({}, holder.localPort(), ClientLocation::thisPc);
    EXPECT_TRUE(logHas("Traffic Reader has stopped\n"));
    EXPECT_FALSE(logHas("has stopped with error"));
    EXPECT_FALSE(run.closingFlag.load());

    readers.resetTrafficSide();
    traffic.threadBody({}, holder.localPort(), ClientLocation::thisPc);
    const std::string text =
        "The Traffic Reader has stopped with error: bind to stream socket failed, error: 10048 "
        "Address already in use";
    EXPECT_EQ(messageLines().message, text);
    EXPECT_TRUE(logHas(text));
    EXPECT_EQ(run.restartReason.load(), RestartReason::readerError);
    EXPECT_TRUE(run.closingFlag.load());
}

TEST_F(ReaderThread, TheStopOfItsThreadAloneEndsAReader) {
    std::jthread body([this](const std::stop_token& stop) { traffic.threadBody(stop, 0, ClientLocation::thisPc); });
    EXPECT_TRUE(eventually([this] { return traffic.boundPort() != 0; }));
    body.request_stop();  // no stop flag raised by anyone else
    const bool ended = eventually([this] { return traffic.boundPort() == 0; }, 5000ms);
    EXPECT_TRUE(ended);
    if (!ended) traffic.requestStop();  // so that a failing test still ends
    body.join();
    EXPECT_TRUE(logHas("Traffic Reader has stopped\n"));
    EXPECT_FALSE(run.closingFlag.load());
}

TEST_F(ReaderThread, TheQnhReaderPublishesWhatArrives) {
    readers.startQnhReader(0);
    ASSERT_TRUE(eventually([this] { return qnh.boundPort() != 0; }));
    sender.sendTo(R"({"QNH": 2953})", qnh.boundPort());
    ASSERT_TRUE(eventually([this] { return feed.publishedQnh.load() == 1000; }));
    EXPECT_EQ(traffic.qnh(), 1000);
    readers.stop();
    EXPECT_TRUE(logHas("QNH Reader connected\n"));
    EXPECT_TRUE(logHas("QNH Reader has stopped\n"));
    EXPECT_EQ(feed.weatherLamp.load(), ReaderLamp::stopped);
}

// The traffic reader's filter inputs, written by the run thread while lines are parsed.
TEST_F(ReaderThread, TheRangeFilterNeverSeesHalfAMovedPosition) {
    // Both own positions are far from the aircraft; a latitude of the one with
    // the longitude of the other is exactly where it flies.
    const GeoPosition first{48.12, 26.60};
    const GeoPosition second{58.12, 16.60};
    traffic.setOwnPosition(first);
    std::atomic<bool> done{false};
    std::jthread runThread([&] {
        for (int i = 0; !done.load(); ++i) traffic.setOwnPosition(i % 2 == 0 ? second : first);
    });
    const std::string line = LineBuilder{}.set(LineBuilder::lat, "48.12").set(LineBuilder::lon, "16.60").text();
    int inRange = 0;
    for (int i = 0; i < 200000; ++i) inRange += traffic.onTrafficDatagram(line) != LineOutcome::outOfRange;
    done.store(true);
    EXPECT_EQ(inRange, 0);
}

}  // namespace
}  // namespace qvl
