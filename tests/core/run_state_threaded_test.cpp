#include "core/run_state.h"

#include <gtest/gtest.h>

#include <thread>

namespace qvl {
namespace {

// Whoever sees a run closing sees why: the run thread logs "Exiting: <reason>"
// as soon as it sees the flags, while the window's close is still on its way.
TEST(RunStateThreaded, ARunSeenClosingAlwaysHasItsReason) {
    for (int round = 0; round < 2000; ++round) {
        RunState run;
        std::jthread closer([&run, round] {
            if (round % 2 == 0) {
                run.recordUserClose();
                run.closingFlag.store(true);
            } else {
                (void)run.endRun(RestartReason::newFlight, 5);
            }
        });
        while (!run.isClosing()) std::this_thread::yield();
        const RestartReason seen = run.restartReason.load();
        ASSERT_NE(seen, RestartReason::notYetSet) << "round " << round;
        closer.join();
    }
}

TEST(RunStateThreaded, AUserCloseCarriesItsReasonBeforeTheFlagIsRaised) {
    RunState run;
    run.recordUserClose();
    EXPECT_TRUE(run.isClosing());
    EXPECT_FALSE(run.closingFlag.load()) << "the caller raises it after closing the link";
    EXPECT_EQ(run.restartReason.load(), RestartReason::userClosedSim);
}

TEST(RunStateThreaded, TheFirstPartyToEndARunKeepsItsReason) {
    RunState run;
    ASSERT_TRUE(run.endRun(RestartReason::readerError, 15));
    run.recordUserClose();
    EXPECT_FALSE(run.endRun(RestartReason::newFlight, 5));
    EXPECT_EQ(run.restartReason.load(), RestartReason::readerError);
    EXPECT_EQ(run.restartDelay.load(), 15);
    EXPECT_TRUE(run.closeRequested.load());
}

}  // namespace
}  // namespace qvl
