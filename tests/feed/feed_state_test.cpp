// The reset of the feed's state between runs.
#include <gtest/gtest.h>

#include "feed/feed_state.h"

namespace qvl {
namespace {

TEST(FeedStateReset, ValuesGoBackToTheStartWhileTheProgramsHooksStay) {
    FeedState feed;
    int gone = 0;
    int repaints = 0;
    feed.setRealTrafficGoneHook([&] { ++gone; });
    feed.setRepaintHook([&] { ++repaints; });
    feed.waitingForRealTraffic.store(false);
    feed.time.rtEdition.store(true);
    feed.trafficLamp.store(ReaderLamp::stale);
    feed.weatherLamp.store(ReaderLamp::receiving);
    feed.publishedQnh.store(990);

    feed.reset();

    EXPECT_TRUE(feed.waitingForRealTraffic.load());
    EXPECT_FALSE(feed.time.rtEdition.load());
    EXPECT_EQ(feed.trafficLamp.load(), ReaderLamp::stopped);
    EXPECT_EQ(feed.weatherLamp.load(), ReaderLamp::stopped);
    EXPECT_EQ(feed.publishedQnh.load(), kStandardQnh);
    // A restarted run must still take the aircraft away when the client goes.
    feed.onRealTrafficGone();
    feed.repaint();
    EXPECT_EQ(gone, 1);
    EXPECT_EQ(repaints, 1);
}

}  // namespace
}  // namespace qvl
