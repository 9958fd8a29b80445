// The reset of the feed's state between runs, and its route to the window.
#include <gtest/gtest.h>

#include "feed/feed_state.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "support/fake_status.h"

namespace qvl {
namespace {

TEST(FeedStateReset, ValuesGoBackToTheStartWhileTheProgramsWiringStays) {
    int gone = 0;
    test::FakeStatus status;
    FeedState feed(status, {.realTrafficGone = [&] { ++gone; }});
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
    // A restarted run must still take the aircraft away when the client goes,
    // and its panel must still hear of a change.
    feed.onRealTrafficGone();
    feed.repaint();
    EXPECT_EQ(gone, 1);
    EXPECT_EQ(status.statusChanges, 1);
}

// A lost client that left its live aircraft behind would go unnoticed.
TEST(FeedStateHooks, AMissingHookIsRefusedNamingIt) {
    test::FakeStatus status;
    const auto refusal = [&status](FeedHooks hooks) -> std::string {
        try {
            const FeedState feed(status, std::move(hooks));
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(refusal({}), "feed hooks not wired: realTrafficGone");
    EXPECT_EQ(refusal({.realTrafficGone = [] {}}), "accepted");
}

}  // namespace
}  // namespace qvl
