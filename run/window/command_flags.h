// The requests the main window's commands hand to the run thread, and the
// state of the static-parking controls. The UI thread raises a request and
// the run's periodic steps serve it, so the UI thread never does engine or
// catalogue work itself.
//
// One CommandFlags is owned by the program and passed by reference to the
// window and the run; tests make a fresh one.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

#include "core/fixed_code.h"
#include "core/geodesy.h"

namespace qvl {

// Minutes between two static-parking updates.
inline constexpr std::int32_t kStaticParkingMinutes = 20;

// A destination typed in the window, to become the next park airport. The
// park-airport list belongs to the engine, so the run thread puts it there.
struct DestinationRequest {
    FixedCode4 code;
    GeoPosition position;
};

struct CommandFlags {
    CommandFlags() { reset(); }
    CommandFlags(const CommandFlags&) = delete;
    CommandFlags& operator=(const CommandFlags&) = delete;

    // Served by the run's once-a-second step.
    std::atomic<bool> flushStaticRequest;
    std::atomic<bool> callsignListRequest;
    std::atomic<bool> callsignSelectionChanged;
    std::atomic<bool> blockListChanged;
    // Served within five seconds: the park airports are read again.
    std::atomic<bool> rereadRequest;
    // Served by the once-a-second step, over the engine's lists: the nav
    // lights of parked aircraft follow NAV_LIGHTS_WHILE_PARKED; the active live
    // aircraft beyond MAX_LIVE_SEL go, the farthest first; the callsign
    // choices are emptied after a "Block".
    std::atomic<bool> navLightsRequest;
    std::atomic<bool> liveLimitRequest;
    std::atomic<bool> callsignChoicesResetRequest;
    // Served by the 30-second step: the liveries are matched again.
    std::atomic<bool> rematchRequest;
    // "Now" may be enabled again once INITIAL_LOAD_ONLY is turned off.
    std::atomic<bool> nowAllowed;
    // The scanned liveries became the catalogue in this process; clearing it
    // makes the next run process them again. Kept across runs.
    std::atomic<bool> liveriesProcessed{false};
    // Minutes to the next static-parking update.
    std::atomic<std::int32_t> staticParkingCountdown;
    // The run's seconds counter as the run thread last published it; the
    // window's "Now" works out the wait to the next parking cycle from it.
    std::atomic<std::int32_t> runSeconds;

    // The latest destination wins; the run thread takes it once.
    void requestDestination(const DestinationRequest& request) {
        const std::lock_guard lock(destinationMutex_);
        destination_ = request;
    }
    [[nodiscard]] std::optional<DestinationRequest> takeDestination() {
        const std::lock_guard lock(destinationMutex_);
        return std::exchange(destination_, std::nullopt);
    }

    // Back to the state before a run: no request, no update, a full countdown.
    // liveriesProcessed belongs to the process and stays.
    void reset() noexcept {
        flushStaticRequest = false;
        callsignListRequest = false;
        callsignSelectionChanged = false;
        blockListChanged = false;
        rereadRequest = false;
        navLightsRequest = false;
        liveLimitRequest = false;
        callsignChoicesResetRequest = false;
        rematchRequest = false;
        nowAllowed = false;
        staticParkingCountdown = kStaticParkingMinutes;
        runSeconds = 0;
        const std::lock_guard lock(destinationMutex_);
        destination_.reset();
    }

private:
    std::mutex destinationMutex_;  // a leaf: guards destination_
    std::optional<DestinationRequest> destination_;
};

}  // namespace qvl
