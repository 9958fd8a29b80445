// The run's own state: whether it is ending and why. Whichever party ends a
// run first raises closingFlag and records its reason and restart delay;
// later parties change nothing, so the first reason wins. Every loop of a run
// watches the flags and returns once either is set.
//
// One RunState is owned by the program and passed by reference to every part
// that ends a run or watches it end; tests make a fresh one.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>

namespace qvl {

enum class RestartReason : std::int32_t {
    notYetSet = 0,        // "NOT YET SET"
    simWasClosed = 1,     // "SIM WAS CLOSED"
    newFlight = 2,        // "NEW FLIGHT"
    newSettings = 3,      // "NEW SETTINGS"
    userClosedSim = 4,    // "USER CLOSED SIM"
    simConnectError = 5,  // "SIMCONNECT ERROR"
    readerError = 6,      // "READER ERROR"
    systemError = 7,      // "SYSTEM ERROR"
    newVersion = 8,       // "NEW VERSION"
};

struct RunState {
    // Raised when a run is ending (the simulator closed, new settings, an error...).
    std::atomic<bool> closingFlag{false};
    // Raised by the main window's close button.
    std::atomic<bool> closeRequested{false};
    std::atomic<RestartReason> restartReason{RestartReason::notYetSet};
    std::atomic<std::int32_t> restartDelay{0};

    [[nodiscard]] bool isClosing() const noexcept {
        return closingFlag.load(std::memory_order_acquire) || closeRequested.load(std::memory_order_acquire);
    }

    // Raises closingFlag; only the party that raised it records its reason
    // and delay. True for that party. The reason goes in before the flag, so
    // whoever sees the flag raised also sees why.
    bool endRun(RestartReason reason, std::int32_t delaySeconds) noexcept {
        const std::lock_guard lock(endMutex_);
        if (closingFlag.load(std::memory_order_acquire)) return false;
        restartReason.store(reason, std::memory_order_release);
        restartDelay.store(delaySeconds, std::memory_order_release);
        closingFlag.store(true, std::memory_order_release);
        return true;
    }

    // The user closed the program: the reason, unless one was recorded
    // already, and then the close request that loops watch. The caller
    // raises closingFlag once it has done what must come first.
    void recordUserClose() noexcept {
        const std::lock_guard lock(endMutex_);
        RestartReason expected = RestartReason::notYetSet;
        restartReason.compare_exchange_strong(expected, RestartReason::userClosedSim, std::memory_order_acq_rel);
        closeRequested.store(true, std::memory_order_release);
    }

    // Back to the state before a run: flags down, no reason, no delay. The
    // delay goes too: a delay left from the last run must not stand for a
    // party of the next run that ends it without one.
    void reset() noexcept {
        restartReason.store(RestartReason::notYetSet);
        restartDelay.store(0);
        closeRequested.store(false);
        closingFlag.store(false);
    }

private:
    // Makes a reason and its flag one step for the parties that end a run.
    std::mutex endMutex_;
};

// The name of a reason as Log.txt shows it ("SIM WAS CLOSED").
constexpr std::string_view restartReasonName(RestartReason reason) noexcept {
    switch (reason) {
        case RestartReason::notYetSet: return "NOT YET SET";
        case RestartReason::simWasClosed: return "SIM WAS CLOSED";
        case RestartReason::newFlight: return "NEW FLIGHT";
        case RestartReason::newSettings: return "NEW SETTINGS";
        case RestartReason::userClosedSim: return "USER CLOSED SIM";
        case RestartReason::simConnectError: return "SIMCONNECT ERROR";
        case RestartReason::readerError: return "READER ERROR";
        case RestartReason::systemError: return "SYSTEM ERROR";
        case RestartReason::newVersion: return "NEW VERSION";
    }
    return "NOT YET SET";
}

}  // namespace qvl
