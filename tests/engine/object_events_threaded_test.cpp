// The simulator link's thread queues object events while the run thread
// handles them: every event arrives once, in the order it was queued.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "engine/base/engine_state.h"
#include "engine/object_events.h"

namespace qvl {
namespace {

TEST(ObjectEventQueueThreaded, EveryEventQueuedFromAnotherThreadIsTakenOnceInOrder) {
    EngineState state;
    constexpr std::uint32_t kEvents = 20000;
    std::jthread simulatorLink([&] {
        for (std::uint32_t i = 1; i <= kEvents; ++i) {
            gf_queueSimObjectEvent(state, {.objectId = i, .kind = SimObjectEventKind::groundData});
        }
    });
    std::vector<std::uint32_t> taken;
    while (taken.size() < kEvents) {
        for (const SimObjectEvent& event : state.objectEvents.takeAll()) taken.push_back(event.objectId);
        std::this_thread::yield();
    }
    simulatorLink.join();
    ASSERT_EQ(taken.size(), kEvents);
    for (std::uint32_t i = 0; i < kEvents; ++i) ASSERT_EQ(taken[i], i + 1);
    EXPECT_EQ(state.objectEvents.size(), 0U);
}

}  // namespace
}  // namespace qvl
