// Creations asked of the simulator wait to be tied to the object it reports;
// those it never reports must not wait for ever.
#include <gtest/gtest.h>

#include <chrono>

#include "simlink/sim_queues.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;

TEST(PendingCreations, ThoseAskedMoreThanFiveMinutesBeforeANewOneAreDropped) {
    SimQueues queues;
    const std::chrono::steady_clock::time_point t0{1h};
    queues.rememberCreation({.packetId = 1, .hexId = 0x400001, .callsign = "OLD1", .askedAt = t0});
    queues.rememberCreation({.packetId = 2, .hexId = 0x400002, .callsign = "EDGE1", .askedAt = t0 + 1min});
    queues.rememberCreation({.packetId = 3, .hexId = 0x400003, .callsign = "NEW1", .askedAt = t0 + 6min});
    const auto pending = queues.pendingCreations();
    ASSERT_EQ(pending.size(), 2U);
    // Exactly five minutes old stays.
    EXPECT_FALSE(queues.takeCreationByCallsign("OLD1").has_value());
    EXPECT_TRUE(queues.takeCreationByCallsign("EDGE1").has_value());
    EXPECT_TRUE(queues.takeCreationByCallsign("NEW1").has_value());
}

TEST(PendingCreations, AStaleCreationIsNotTiedToALaterObjectWithItsCallsign) {
    SimQueues queues;
    const std::chrono::steady_clock::time_point t0{1h};
    queues.rememberCreation({.packetId = 1, .hexId = 0x400001, .callsign = "DLH1", .askedAt = t0});
    queues.rememberCreation({.packetId = 2, .hexId = 0x400002, .callsign = "DLH1", .askedAt = t0 + 10min});
    const auto taken = queues.takeCreationByCallsign("DLH1");
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->hexId, 0x400002U);
}

}  // namespace
}  // namespace qvl
