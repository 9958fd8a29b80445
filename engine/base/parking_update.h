// Whether a static-parking update runs, and whether one is announced for the
// next parking cycle. It is the engine's parking state: the engine runs the
// update and asks it whether one runs; the window announces one ("Now", the
// countdown), switches its controls and paints from it. Both threads read
// and set it, so each value is an atomic of its own (neither is read
// together with the other).
#pragma once

#include <atomic>

namespace qvl {

struct ParkingUpdate {
    // An update runs, or is announced: the parking controls stay off until
    // it is over.
    std::atomic<bool> running{false};
    // An update is announced for the next parking cycle.
    std::atomic<bool> pending{false};

    // No update, none announced: the state before a run.
    void reset() noexcept {
        running.store(false);
        pending.store(false);
    }
};

}  // namespace qvl
