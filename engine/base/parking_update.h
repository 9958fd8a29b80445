// Whether a static-parking update runs, and whether one is announced for the
// next parking cycle. It is the engine's parking state: the engine sets and
// clears `running` as it starts and ends an update, the run takes an
// announced one up, and the window only asks for one ("Now", the countdown), switches its
// controls and paints from it. Several threads read it, so each value is an
// atomic of its own (neither is read together with the other).
#pragma once

#include <atomic>

namespace qvl {

struct ParkingUpdate {
    // The engine runs an update: set when it starts one, cleared when its
    // last candidate is placed.
    std::atomic<bool> running{false};
    // An update is announced for the next parking cycle: the window's
    // request, taken up (and cleared) by the run.
    std::atomic<bool> pending{false};

    // The window's request ("Now", or the countdown running out); the engine
    // starts the update itself at the next parking cycle.
    void ask() noexcept { pending.store(true); }

    // An update runs or is announced: the parking controls stay off, and
    // nothing else starts one in between.
    [[nodiscard]] bool busy() const noexcept { return running.load() || pending.load(); }

    // No update, none announced: the state before a run.
    void reset() noexcept {
        running.store(false);
        pending.store(false);
    }
};

}  // namespace qvl
