// The traffic queue's intake of overdue records: only what is due at or
// before the tick, from the front, up to the maximum; and its hold while the
// traffic client is gone.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "feed/traffic_queue.h"

namespace qvl {
namespace {

TrafficRecord recordDueAt(std::uint32_t due, std::uint32_t hexId) {
    TrafficRecord record;
    record.hexId = hexId;
    record.sample.dueTick = due;
    return record;
}

void fill(TrafficQueue& queue, const std::vector<std::uint32_t>& dues) {
    queue.setAccepting(true);
    std::uint32_t hexId = 1;
    for (const std::uint32_t due : dues) queue.push(recordDueAt(due, hexId++));
}

TEST(TrafficQueueTakeDue, TakesOnlyRecordsDueAtOrBeforeNowFromTheFrontUpToTheMaximum) {
    TrafficQueue queue;
    fill(queue, {100, 200, 201, 150, 1, 2, 3});
    std::vector<TrafficRecord> out(1);
    EXPECT_EQ(queue.takeDue(out, 200, 50), 2U);
    ASSERT_EQ(out.size(), 3U) << "appended";
    EXPECT_EQ(out[1].hexId, 1U);
    EXPECT_EQ(out[2].hexId, 2U);
    // 201 is not due yet, and the older records behind it wait their turn.
    EXPECT_EQ(queue.size(), 5U);
    EXPECT_EQ(queue.takeDue(out, 1000, 3), 3U);
    EXPECT_EQ(queue.size(), 2U);
    EXPECT_EQ(queue.takeDue(out, 1000, 0), 0U);
}

TEST(TrafficQueueTakeDue, ComparesDueTicksAndNegativeTicksInSigned64Bit) {
    // A due tick beyond the signed range is far in the future, not overdue.
    TrafficQueue queue;
    fill(queue, {static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) + 10U});
    std::vector<TrafficRecord> out;
    EXPECT_EQ(queue.takeDue(out, std::numeric_limits<std::int32_t>::max(), 50), 0U);
    EXPECT_EQ(queue.takeDue(out, -5, 50), 0U);
    TrafficQueue small;
    fill(small, {0});
    EXPECT_EQ(small.takeDue(out, -1, 50), 0U);
    EXPECT_EQ(small.takeDue(out, 0, 50), 1U);
}

TEST(TrafficQueueClientGone, DropsWhatItHoldsAndTakesNothingUntilTheClientReturns) {
    TrafficQueue queue;
    fill(queue, {3000, 3001});
    queue.holdUntilClientReturns();
    EXPECT_TRUE(queue.heldForClient());
    EXPECT_EQ(queue.size(), 0U);
    EXPECT_FALSE(queue.push(recordDueAt(3002, 7)));
    EXPECT_EQ(queue.size(), 0U);
    queue.clientReturned();
    EXPECT_TRUE(queue.push(recordDueAt(3003, 8)));
    EXPECT_EQ(queue.size(), 1U);
    // A new run starts with its client there.
    queue.holdUntilClientReturns();
    queue.clear();
    EXPECT_FALSE(queue.heldForClient());
    EXPECT_TRUE(queue.push(recordDueAt(3004, 9)));
}

}  // namespace
}  // namespace qvl
