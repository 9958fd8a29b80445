// What the feed shares with run control, the main window and the engine: the
// flags it reads, the lamps and texts the status panel shows, the published
// QNH, the engine's tick counter that stamps every record, the traffic time,
// the status through which the panel hears of a change, and the hook by
// which the engine reacts to the feed.
//
// One FeedState is owned by the program and passed by reference to the
// readers, the traffic client link and whoever reads the panel; tests build a
// fresh one. Its status and hook are given when it is built. Several values belong to
// run control and the main window, which read and set them; they stand here
// because the feed changes them from its own threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "core/status.h"
#include "core/time_text.h"

namespace qvl {

enum class ReaderLamp : std::uint8_t { receiving = 1, stale = 2, stopped = 3 };

inline constexpr std::int32_t kStandardQnh = 1013;

// How the engine reacts to the feed. Required: live aircraft that outlive
// their traffic client would go unnoticed.
struct FeedHooks {
    // The traffic client has gone away while the run goes on (called on the
    // run thread): the engine takes its live aircraft away.
    std::function<void()> realTrafficGone{};
};

struct FeedState {
    // `status` hears of every change the status panel shows. Throws
    // std::invalid_argument, naming it, when the hook is missing.
    FeedState(Status& status, FeedHooks hooks);
    FeedState(const FeedState&) = delete;
    FeedState& operator=(const FeedState&) = delete;

    // The traffic client runs on this PC (decided by the run thread at start-up).
    std::atomic<bool> rtLocal;
    // Set at program start and by the reset of a run; cleared once the traffic
    // client has connected. While it is set, the scan check boxes end the run.
    std::atomic<bool> waitingForRealTraffic;
    // Set while a traffic client is connected; it also enables the lamp refresh.
    std::atomic<bool> realTrafficDisplay;
    std::atomic<ReaderLamp> trafficLamp;
    std::atomic<ReaderLamp> weatherLamp;
    // The QNH (hPa) the engine uses, and the one the status panel shows.
    std::atomic<std::int32_t> publishedQnh;
    std::atomic<std::int32_t> displayedQnh;
    // The engine's clock: +1 per 10 ms tick of the main loop. The engine
    // advances it; the traffic reader stamps every record with it.
    std::atomic<std::int32_t> tickCounter;
    // The traffic reader moves the clock, the client link sets the edition.
    TrafficTime time;

    // "RT prof edition: 10.0.1" in the status panel; empty while unknown.
    void setRealTrafficText(std::string text);
    [[nodiscard]] std::string realTrafficText() const;

    // The status panel shows a changed lamp, text or QNH: through the status.
    void repaint() const { status_.statusChanged(); }
    void onRealTrafficGone() const { hooks_.realTrafficGone(); }

    // Every value back to where a fresh program starts; the one place that
    // knows the start values. The status and the hook are the program's
    // wiring and stay:
    // a restarted run still has its window and its engine.
    void reset();

private:
    // Set once, before any thread can call them.
    Status& status_;
    const FeedHooks hooks_;
    // Leaf lock: guards the text.
    mutable std::mutex mutex_;
    std::string realTrafficText_;
};

}  // namespace qvl
