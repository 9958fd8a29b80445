// Run-wide flags every loop watches. Set by whichever party ends a run first;
// read from every thread.
#pragma once

#include <atomic>

namespace qvl {

// Raised when a run is ending (the simulator closed, new settings, an error...).
inline std::atomic<bool> closingFlag{false};
// Raised by the main window's close button.
inline std::atomic<bool> closeRequested{false};

inline bool gf_isClosing() noexcept {
    return closingFlag.load(std::memory_order_acquire) || closeRequested.load(std::memory_order_acquire);
}

}  // namespace qvl
