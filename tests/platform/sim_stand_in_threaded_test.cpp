// The stand-in simulator on its own thread: the callers' threads only send
// and dispatch, answers come from the stand-in's thread, and `settle` makes
// what a test sees exact with a manual clock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/stand_in.h"
#include "support/temp_dir.h"

namespace qvl::sim {
namespace {

// A manual clock that notes which threads read it: every frame step, every
// answer and every trace write reads it.
class WatchedClock final : public SimClock {
public:
    std::chrono::nanoseconds now() const override {
        {
            std::lock_guard lock(mutex_);
            readers_.insert(std::this_thread::get_id());
        }
        return clock_.now();
    }
    void advance(std::chrono::nanoseconds by) { clock_.advance(by); }
    bool readBy(std::thread::id id) const {
        std::lock_guard lock(mutex_);
        return readers_.contains(id);
    }
    void forget() {
        std::lock_guard lock(mutex_);
        readers_.clear();
    }

private:
    ManualSimClock clock_;
    mutable std::mutex mutex_;
    mutable std::set<std::thread::id> readers_;
};

struct Reply {
    std::vector<std::byte> bytes;
    std::uint32_t id() const { return header().id; }
    RecvHeader header() const {
        RecvHeader h{};
        std::memcpy(&h, bytes.data(), sizeof h);
        return h;
    }
    template <class Record>
    Record as() const {
        Record r{};
        std::memcpy(&r, bytes.data(), std::min(sizeof r, bytes.size()));
        return r;
    }
};

std::vector<Reply> dispatch(SimConnection& c) {
    std::vector<Reply> out;
    c.callDispatch(
        [](const RecvHeader* m, std::uint32_t size, void* ctx) {
            const auto* b = reinterpret_cast<const std::byte*>(m);
            static_cast<std::vector<Reply>*>(ctx)->push_back({{b, b + size}});
        },
        &out);
    return out;
}

std::size_t countOf(const std::vector<Reply>& replies, std::uint32_t id) {
    return static_cast<std::size_t>(
        std::count_if(replies.begin(), replies.end(), [id](const Reply& r) { return r.id() == id; }));
}

constexpr DefinitionId kPosition = 1;
constexpr DefinitionId kInRange = 2;
constexpr std::size_t kObjects = 40;

class StandInThread : public ::testing::Test {
protected:
    StandInThread() {
        config.installedTitles = {"Airbus A320 Lufthansa"};
        config.user.latitude = 50.0;
        config.user.longitude = 8.5;
        config.creationFrames = 1;
    }
    void start() {
        sim = std::make_unique<StandInSimulator>(config, clock);
        sim->runOnOwnThread();
        ASSERT_TRUE(succeeded(sim->open(&conn, "Quorvelant", 0)));
        dispatch(*conn);
        conn->addToDataDefinition(kPosition, "PLANE LATITUDE", "degrees", DataType::float64, 0, 0);
        conn->addToDataDefinition(kPosition, "PLANE LONGITUDE", "degrees", DataType::float64, 0, 0);
        conn->addToDataDefinition(kInRange, "PLANE ALTITUDE", "feet", DataType::float64, 0, 0);
        conn->addToDataDefinition(kInRange, "SIM ON GROUND", "bool", DataType::int64, 0, 0);
    }
    void frames(int n) { clock->advance(n * sim->frameInterval()); }
    void createObjects() {
        for (std::size_t i = 0; i < kObjects; ++i) {
            const InitPosition at{50.0 + 0.001 * static_cast<double>(i), 8.5, 500, 0, 0, 90, 1, 0};
            conn->aiCreateNonAtcAircraft("Airbus A320 Lufthansa", "D-" + std::to_string(i), at,
                                         static_cast<RequestId>(100 + i));
        }
        // Sent before the frame that makes them, as a caller without a
        // thread of the stand-in would have them.
        sim->settle();
        frames(1);
        sim->settle();
        dispatch(*conn);
    }

    StandInConfig config;
    std::shared_ptr<WatchedClock> clock = std::make_shared<WatchedClock>();
    std::unique_ptr<StandInSimulator> sim;
    SimConnection* conn = nullptr;
};

TEST_F(StandInThread, AnswersFramesAndTraceOnItsOwnThreadNotTheCallers) {
    test::TempDir dir;
    config.frameRate = 10.0;
    sim = std::make_unique<StandInSimulator>(config, clock);
    ASSERT_TRUE(sim->setTraceFile(dir / "trace.txt"));
    sim->runOnOwnThread();
    ASSERT_TRUE(succeeded(sim->open(&conn, "Quorvelant", 0)));
    conn->subscribeToSystemEvent(7, "Frame");
    conn->addToDataDefinition(kInRange, "PLANE ALTITUDE", "feet", DataType::float64, 0, 0);
    sim->settle();
    clock->forget();

    frames(3);
    conn->requestDataOnSimObjectType(9, kInRange, 10000, kObjectTypeAircraft);
    ASSERT_TRUE(succeeded(conn->close()));
    sim->settle();
    EXPECT_FALSE(clock->readBy(std::this_thread::get_id()));
    EXPECT_EQ(sim->frameCount(), 3u);
    const std::string trace = test::readFile(dir / "trace.txt");
    const auto request = trace.find("c1 RequestDataOnSimObjectType 9 2 radius 10000");
    ASSERT_NE(request, std::string::npos) << trace;
    EXPECT_NE(trace.find("c1 Close\n", request), std::string::npos) << trace;
}

// A call only sends: the thread answers it at its next frame, not at once,
// so that a caller (the main loop) keeps the processor for its own work.
TEST_F(StandInThread, CallWaitsForTheThreadsNextFrameWithoutWakingIt) {
    config.frameRate = 0.5;  // the thread's next frame is two seconds away
    start();
    conn->requestDataOnSimObject(10, kPosition, 0, Period::once);
    sim->settle();  // a round has just ended: the thread waits for its next frame
    ASSERT_EQ(countOf(dispatch(*conn), recvSimObjectData), 1u);

    conn->requestDataOnSimObject(11, kPosition, 0, Period::once);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(dispatch(*conn).empty());
    sim->settle();
    EXPECT_EQ(countOf(dispatch(*conn), recvSimObjectData), 1u);
}

TEST_F(StandInThread, SettleDeliversEveryAnswerSentBeforeIt) {
    start();
    createObjects();
    ASSERT_EQ(sim->aiObjectIds().size(), kObjects);
    conn->requestDataOnSimObjectType(9, kInRange, 100000, kObjectTypeAircraft);
    conn->requestDataOnSimObject(10, kPosition, 0, Period::once);
    sim->settle();
    const auto replies = dispatch(*conn);
    EXPECT_EQ(countOf(replies, recvSimObjectDataByType), kObjects + 1);  // and the user's aircraft
    EXPECT_EQ(countOf(replies, recvSimObjectData), 1u);
    EXPECT_TRUE(dispatch(*conn).empty());
}

// An exception names the packet that caused it, even when later calls were
// sent before the stand-in came to answer it.
TEST_F(StandInThread, ExceptionNamesTheCallThatCausedItNotTheLastOneSent) {
    start();
    sim->settle();
    dispatch(*conn);
    const double position[2] = {50.0, 8.5};
    conn->setDataOnSimObject(kPosition, 4242, 0, 1, sizeof position, position);
    std::uint32_t badPacket = 0;
    conn->getLastSentPacketId(&badPacket);
    conn->requestDataOnSimObject(10, kPosition, 0, Period::once);
    conn->requestDataOnSimObject(11, kPosition, 0, Period::once);
    // A facility request without its definition fails in the stand-in, and
    // comes back as an exception as from a simulator of its own.
    EXPECT_TRUE(succeeded(conn->requestFacilityData(77, 12, "EDDF", "")));
    std::uint32_t facilityPacket = 0;
    conn->getLastSentPacketId(&facilityPacket);
    sim->settle();
    std::vector<std::uint32_t> sendIds;
    for (const Reply& r : dispatch(*conn)) {
        if (r.id() == recvException) sendIds.push_back(r.as<RecvException>().sendId);
    }
    EXPECT_EQ(sendIds, (std::vector<std::uint32_t>{badPacket, facilityPacket}));
}

// Callers on two threads (the frame sender's and the loop's) beside the
// stand-in's own: nothing is lost, and the thread sanitizer finds no race.
TEST_F(StandInThread, CallersOnTwoThreadsLoseNothing) {
    start();
    createObjects();
    const std::vector<ObjectId> ids = sim->aiObjectIds();
    ASSERT_EQ(ids.size(), kObjects);
    constexpr int kRounds = 30;
    std::atomic<std::size_t> byType{0};
    std::jthread sender([&] {
        for (int round = 0; round < kRounds; ++round) {
            for (const ObjectId id : ids) {
                const double position[2] = {50.0 + 0.0001 * round, 8.5};
                conn->setDataOnSimObject(kPosition, id, 0, 1, sizeof position, position);
            }
            for (const Reply& r : dispatch(*conn)) {
                if (r.id() == recvSimObjectDataByType) byType.fetch_add(1);
            }
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        conn->requestDataOnSimObjectType(static_cast<RequestId>(round), kInRange, 100000, kObjectTypeAircraft);
        frames(1);
    }
    sender.join();
    sim->settle();
    for (const Reply& r : dispatch(*conn)) {
        if (r.id() == recvSimObjectDataByType) byType.fetch_add(1);
    }
    EXPECT_EQ(byType.load(), kRounds * (kObjects + 1));
    for (const ObjectId id : ids) EXPECT_EQ(sim->object(id)->setDataCount, std::size_t{kRounds}) << id;
    EXPECT_EQ(sim->frameCount(), std::uint64_t{kRounds + 1});
}

// The program's last calls (its close) come just before the stand-in stops:
// they are answered and traced, not dropped with the thread.
TEST_F(StandInThread, ACallSentJustBeforeTheStopIsAnsweredAndTraced) {
    config.frameRate = 0.5;  // the thread's next frame is two seconds away
    start();
    sim->keepTraceInMemory(true);
    sim->settle();
    dispatch(*conn);
    conn->requestDataOnSimObject(12, kPosition, 0, Period::once);
    ASSERT_TRUE(sim->stopWithin(std::chrono::seconds(10)));
    EXPECT_EQ(countOf(dispatch(*conn), recvSimObjectData), 1u);
    const std::vector<std::string> trace = sim->traceLines();
    EXPECT_NE(std::find(trace.begin(), trace.end(), "c1 RequestDataOnSimObject 12 1 object 0 once"), trace.end());
}

// A trace file that nobody reads (a pipe whose reader has stopped) blocks the
// thread in its last write: the stop says so at its bound instead of waiting
// for ever, and the trace is whole once the reader goes on.
TEST_F(StandInThread, AThreadBlockedWritingItsTraceIsNotWaitedForPastTheBound) {
    test::TempDir dir;
    const std::filesystem::path fifo = dir / "trace.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_GT(::fcntl(reader, F_SETPIPE_SZ, 4096), 0);
    sim = std::make_unique<StandInSimulator>(config, clock);
    ASSERT_TRUE(sim->setTraceFile(fifo));
    sim->runOnOwnThread();
    ASSERT_TRUE(succeeded(sim->open(&conn, "Quorvelant", 0)));
    conn->addToDataDefinition(kPosition, "PLANE LATITUDE", "degrees", DataType::float64, 0, 0);
    for (RequestId request = 1000; request < 1400; ++request) {
        conn->requestDataOnSimObject(request, kPosition, 0, Period::once);
    }
    EXPECT_FALSE(sim->stopWithin(std::chrono::milliseconds(200)));

    ASSERT_EQ(::fcntl(reader, F_SETFL, 0), 0);  // blocking reads from here
    std::string drained;
    std::jthread draining([&] {
        char buffer[4096];
        for (ssize_t got = 0; (got = ::read(reader, buffer, sizeof buffer)) > 0;) {
            drained.append(buffer, static_cast<std::size_t>(got));
        }
    });
    sim.reset();  // the writer's end closes with it: the reading ends
    draining.join();
    ::close(reader);
    EXPECT_NE(drained.find("c1 RequestDataOnSimObject 1399 1 object 0 once"), std::string::npos);
}

}  // namespace
}  // namespace qvl::sim
