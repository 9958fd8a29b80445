// The try-lock rule: another thread holds simQueueMutex while the frame
// sender or the position exchange wants it.
#include <latch>
#include <thread>

#include "simlink/sim_ids.h"
#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

// Holds simQueueMutex on a thread of its own for as long as it lives.
class MutexHolder {
public:
    MutexHolder()
        : thread_([this] {
              std::lock_guard lock(simQueueMutex());
              held_.count_down();
              release_.wait();
          }) {
        held_.wait();
    }
    ~MutexHolder() {
        release_.count_down();
        thread_.join();
    }

private:
    std::latch held_{1};
    std::latch release_{1};
    std::thread thread_;
};

class BusyQueues : public test::SimLinkTest {
protected:
    void SetUp() override {
        test::SimLinkTest::SetUp();
        connect();
        userObjectId.store(config.user.objectId);
        aircraft = createThroughQueues("Airbus A320 Lufthansa", "DLH4AB", 0x3c6586);
        ASSERT_NE(aircraft, 0u);
        sim->clearTrace();
    }
    std::uint32_t aircraft = 0;
};

TEST_F(BusyQueues, BusyMutexSkipsTheFrameAndDropsTheTicksPositions) {
    gf_queueNavLights(aircraft, 1);
    gf_queueCabinLights(aircraft, 1);
    gf_appendPosition({50.1, 8.6, 0, 0, 0, 900, 0, 0, aircraft});
    ASSERT_TRUE(gf_exchangePositionBatches());
    gf_appendPosition({50.2, 8.6, 0, 0, 0, 900, 0, 0, aircraft});
    {
        MutexHolder busy;
        frame();
        EXPECT_FALSE(gf_exchangePositionBatches());  // this tick's position is dropped
    }
    EXPECT_TRUE(calls().empty());
    frame();  // what waited goes out now, in its order
    const auto sent = calls();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_NE(sent[0].find("SetDataOnSimObject 402"), std::string::npos);
    EXPECT_NE(sent[1].find("NAV_LIGHTS_SET"), std::string::npos);
    EXPECT_NE(sent[2].find("CABIN_LIGHTS_SET"), std::string::npos);
    EXPECT_DOUBLE_EQ(sim->object(aircraft)->latitude, 50.1);
}

TEST_F(BusyQueues, PausedFrameSenderLeavesTheQueuesWhileTheMutexIsBusy) {
    gf_queueNavLights(aircraft, 1);
    gf_queueRemoval(aircraft);
    simQueuesPaused.store(true);
    {
        MutexHolder busy;
        frame();
    }
    EXPECT_EQ(gf_simQueueSizes().events, 1u);  // nothing was touched without the mutex
    frame();
    EXPECT_EQ(gf_simQueueSizes().events + gf_simQueueSizes().removals, 0u);
    EXPECT_TRUE(calls().empty());
}

}  // namespace
}  // namespace qvl
