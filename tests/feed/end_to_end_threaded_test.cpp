// The stand-in traffic client drives the link and both readers together:
// handshake, the user's position sent back, the sample file replayed around
// that position with faults mixed in, and the records waiting in the queue.
#include <map>

#include "feed/qnh_reader.h"
#include "feed/realtraffic_link.h"
#include "feed/support/feed_fixture.h"
#include "tools/traffic_client/stand_in_client.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;
using test::eventually;

class EndToEnd : public test::FeedTest {
protected:
    RealTrafficLink link{feed, run, readers, {.poll = 20ms, .versionReply = 5000ms}};
};

TEST_F(EndToEnd, RecordsArriveInTheQueueWithTheirDueTicks) {
    // The run's start. The readers start as for a client on another PC, so
    // that duplicates are dropped; the link needs the client on this PC.
    readers.startQnhReader(0);
    readers.startTrafficReader(0);
    ASSERT_TRUE(eventually([this] { return traffic.boundPort() != 0 && qnh.boundPort() != 0; }));
    feed.rtLocal.store(true);
    link.startTcpServer("0");
    const GeoPosition user{47.4647, 8.5492};
    traffic.setOwnPosition(user);
    filter.set({.position = user, .elevationFeet = 600});  // the sample airport's elevation
    filter.setReferenceElevation(600.0);
    feed.tickCounter.store(5000);

    standin::Options options;
    options.tcpPort = link.listeningPort();
    options.trafficPort = traffic.boundPort();
    options.qnhPort = qnh.boundPort();
    options.connectRetry = 10ms;
    options.connectTimeout = 20000ms;
    options.traffic = standin::readTrafficFile(std::filesystem::path(__FILE__).parent_path() /
                                               "../../tools/traffic_client/sample_traffic.txt");
    options.speed = 0.0;
    options.shiftTime = options.shiftPosition = true;
    options.faults = {.oversized = true, .vehicle = true, .shortLines = true, .malformed = true, .duplicates = true};
    options.recordFile = dir / "received.txt";
    std::size_t fileLines = 0;
    for (const auto& d : options.traffic->datagrams) fileLines += d.kind == standin::DatagramKind::traffic;

    standin::StandInClient client(options);
    ASSERT_TRUE(client.connect());
    link.waitForRealTraffic();
    ASSERT_TRUE(feed.time.rtEdition.load());
    link.sendUserPosition({.latitude = user.latitude, .longitude = user.longitude, .heading = 0.5, .altitude = 600.0});
    link.sendQs123(1767225600);
    const double before = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    client.replay();  // waits for the user's position first, then moves the file there
    ASSERT_TRUE(eventually([&] { return queue.size() >= fileLines && feed.publishedQnh.load() == 1015; }));
    // The faulty datagrams reached the parser, except the oversized one.
    EXPECT_EQ(traffic.packetCount(), fileLines + 4);

    std::vector<TrafficRecord> records;
    queue.takeFront(records, 1000);
    ASSERT_EQ(records.size(), fileLines);
    std::map<std::string, int> perFlight;
    for (const auto& r : records) {
        ++perFlight[r.callsign];
        EXPECT_EQ(r.sample.dueTick, 8000u);
        EXPECT_GE(r.time, before - 1.0);
        EXPECT_LT(gf_distanceNm(user, {r.sample.latitude, r.sample.longitude}), 40.0) << r.callsign;
    }
    EXPECT_EQ(perFlight, (std::map<std::string, int>{{"QVA123", 8}, {"QVD456", 8}, {"QVG321", 6}, {"QVO789", 6}}));
    EXPECT_TRUE(logHas("buffer overrun: 20000 bytes"));
    EXPECT_TRUE(logHas("exception in processLineSub: lat:nan"));
    EXPECT_FALSE(logHas("VEH"));

    // The end of the run: "exit" reaches the client, which recorded every line with its time.
    link.close();
    ASSERT_TRUE(client.waitForExit(20000ms));
    const std::string received = test::readFile(dir / "received.txt");
    for (const char* line :
         {"\tQs999=version\n", "\tQs121=0;0;0.500000;600000;0;", "\tQs123=1767225600000\n", "\texit\n"}) {
        EXPECT_NE(received.find(line), std::string::npos) << line << " in\n" << received;
    }
}

}  // namespace
}  // namespace qvl
