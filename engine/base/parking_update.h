// Whether a static-parking update runs, and whether one is announced for the
// next parking cycle. It is the engine's parking state: the engine sets and
// clears it as it starts and ends an update, the run takes an announced one
// up, and the window only asks for one ("Now", the countdown), switches its
// controls and paints from it. Several threads read it, so each value is an
// atomic of its own (neither is read together with the other).
#pragma once

#include <atomic>

namespace qvl {

struct ParkingUpdate {
    // An update runs, or is announced: the parking controls stay off until
    // it is over.
    std::atomic<bool> running{false};
    // An update is announced for the next parking cycle.
    std::atomic<bool> pending{false};

    // The window's request ("Now", or the countdown running out): an update
    // is announced for the next parking cycle and counts as running from
    // now on, so nothing else starts one in between.
    void ask() noexcept {
        running.store(true);
        pending.store(true);
    }

    // No update, none announced: the state before a run.
    void reset() noexcept {
        running.store(false);
        pending.store(false);
    }
};

}  // namespace qvl
