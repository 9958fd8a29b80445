// The traffic reader's filter inputs, written by the run thread while lines are parsed.
#include <atomic>

#include "feed/support/feed_fixture.h"

namespace qvl {
namespace {

using L = test::LineBuilder;

using ReaderInputs = test::FeedTest;

TEST_F(ReaderInputs, TheRangeFilterNeverSeesHalfAMovedPosition) {
    // Both own positions are far from the aircraft; a latitude of the one with
    // the longitude of the other is exactly where it flies.
    const GeoPosition first{48.12, 26.60};
    const GeoPosition second{58.12, 16.60};
    traffic.setOwnPosition(first);
    std::atomic<bool> done{false};
    std::jthread runThread([&] {
        for (int i = 0; !done.load(); ++i) traffic.setOwnPosition(i % 2 == 0 ? second : first);
    });
    const std::string line = L{}.set(L::lat, "48.12").set(L::lon, "16.60").text();
    int inRange = 0;
    for (int i = 0; i < 200000; ++i) inRange += traffic.onTrafficDatagram(line) != LineOutcome::outOfRange;
    done.store(true);
    EXPECT_EQ(inRange, 0);
}

}  // namespace
}  // namespace qvl
