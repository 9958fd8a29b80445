// The try-lock rule: another thread holds the queue mutex while the frame
// sender or the position exchange wants it.
#include <functional>
#include <latch>
#include <thread>

#include "simlink/sim_ids.h"
#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

using test::positionAt;

class BusyQueues : public test::SimLinkTest {
protected:
    void SetUp() override {
        test::SimLinkTest::SetUp();
        connectWithAircraft();
    }
    // Runs `body` while a thread of its own holds the queue mutex.
    void whileBusy(const std::function<void()>& body) {
        std::latch held{1}, release{1};
        std::jthread holder([&] {
            const auto lock = link.queues.lock();
            held.count_down();
            release.wait();
        });
        held.wait();
        body();
        release.count_down();
    }
};

TEST_F(BusyQueues, BusyMutexSkipsTheFrameAndDropsTheTicksPositions) {
    gf_queueNavLights(link.queues, aircraft, true);
    gf_queueCabinLights(link.queues, aircraft, true);
    link.queues.appendPosition(positionAt(50.1, 8.6, aircraft));
    ASSERT_TRUE(link.queues.exchangePositionBatches());
    link.queues.appendPosition(positionAt(50.2, 8.6, aircraft));
    whileBusy([&] {
        frame();
        EXPECT_FALSE(link.queues.exchangePositionBatches());  // this tick's position is dropped
    });
    EXPECT_TRUE(calls().empty());
    frame();  // what waited goes out now, in its order
    const auto sent = calls();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_NE(sent[0].find("SetDataOnSimObject 402"), std::string::npos);
    EXPECT_NE(sent[1].find("NAV_LIGHTS_SET"), std::string::npos);
    EXPECT_NE(sent[2].find("CABIN_LIGHTS_SET"), std::string::npos);
    EXPECT_DOUBLE_EQ(sim->object(aircraft)->latitude, 50.1);
}

// The positions of a tick that met a busy mutex never reach the simulator,
// not even behind the next tick's.
TEST_F(BusyQueues, DroppedTickIsNotSentWithTheNextOne) {
    link.queues.appendPosition(positionAt(50.2, 8.6, aircraft));
    whileBusy([&] { EXPECT_FALSE(link.queues.exchangePositionBatches()); });
    link.queues.appendPosition(positionAt(50.3, 8.6, aircraft));
    ASSERT_TRUE(link.queues.exchangePositionBatches());
    EXPECT_EQ(link.queues.sizes().sendPositions, 1u);
    frame();
    EXPECT_EQ(calls("SetDataOnSimObject").size(), 1u);
    EXPECT_EQ(sim->object(aircraft)->setDataCount, 1u);
    EXPECT_DOUBLE_EQ(sim->object(aircraft)->latitude, 50.3);
}

TEST_F(BusyQueues, PausedFrameSenderLeavesTheQueuesWhileTheMutexIsBusy) {
    gf_queueNavLights(link.queues, aircraft, true);
    link.queues.pushRemoval(aircraft);
    link.simQueuesPaused.store(true);
    whileBusy([&] { frame(); });
    EXPECT_EQ(link.queues.sizes().events, 1u);  // nothing was touched without the mutex
    frame();
    EXPECT_EQ(queuedCommands(), 0u);
    EXPECT_TRUE(calls().empty());
}

}  // namespace
}  // namespace qvl
