// The reset of the feed's state between runs.
#include <gtest/gtest.h>

#include "feed/feed_state.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace qvl {
namespace {

TEST(FeedStateReset, ValuesGoBackToTheStartWhileTheProgramsHooksStay) {
    int gone = 0;
    int repaints = 0;
    FeedState feed({.repaint = [&] { ++repaints; }, .realTrafficGone = [&] { ++gone; }});
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

namespace qvl {
namespace {

// A feed whose panel nobody repaints, or whose lost client leaves its live
// aircraft behind, cannot be built.
TEST(FeedStateHooks, AMissingHookIsRefusedNamingIt) {
    const auto refusal = [](FeedHooks hooks) -> std::string {
        try {
            const FeedState feed(std::move(hooks));
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(refusal({.repaint = [] {}}), "feed hooks not wired: realTrafficGone");
    EXPECT_EQ(refusal({.realTrafficGone = [] {}}), "feed hooks not wired: repaint");
    EXPECT_EQ(refusal({}), "feed hooks not wired: repaint realTrafficGone");
    EXPECT_EQ(refusal({.repaint = [] {}, .realTrafficGone = [] {}}), "accepted");
}

}  // namespace
}  // namespace qvl
