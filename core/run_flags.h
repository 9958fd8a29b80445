// Being retired: the run-wide flags as loose globals, until every part takes
// a RunState. Run-wide flags and the reason a run ends. Whichever party ends a run first
// raises closingFlag and records its reason and restart delay; later parties
// change nothing, so the first reason wins. Every loop of a run watches the
// flags and returns once either is set.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "core/run_state.h"

namespace qvl {

// Raised when a run is ending (the simulator closed, new settings, an error...).
inline std::atomic<bool> closingFlag{false};
// Raised by the main window's close button.
inline std::atomic<bool> closeRequested{false};
inline std::atomic<RestartReason> restartReason{RestartReason::notYetSet};
inline std::atomic<std::int32_t> restartDelay{0};

inline bool isClosing() noexcept {
    return closingFlag.load(std::memory_order_acquire) || closeRequested.load(std::memory_order_acquire);
}

// The setter rule: raise closingFlag; only the party that raised it records
// its reason and delay. True for that party.
inline bool endRun(RestartReason reason, std::int32_t delaySeconds) noexcept {
    if (closingFlag.exchange(true, std::memory_order_acq_rel)) return false;
    restartReason.store(reason, std::memory_order_release);
    restartDelay.store(delaySeconds, std::memory_order_release);
    return true;
}

// Back to the state before a run: flags down, no reason.
inline void resetRunFlags() noexcept {
    restartReason.store(RestartReason::notYetSet);
    restartDelay.store(0);
    closeRequested.store(false);
    closingFlag.store(false);
}

}  // namespace qvl
