// What the feed shares with run control, the main window and the engine:
// the run-wide flags it reads, the lamps and texts the status panel shows,
// the published QNH, and the hooks by which others react to the feed.
//
// Several of these belong to run control and the main window, which read and
// set them; they stand here, as plain atomics and hooks, because the feed is
// the one that changes them from its own threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace qvl {

// The traffic client runs on this PC (decided by the run thread at start-up).
inline std::atomic<bool> rtLocal{false};
// Set at program start and by the reset of a run; cleared once the traffic
// client has connected. While it is set, the scan check boxes end the run.
inline std::atomic<bool> waitingForRealTraffic{true};
// Set while a traffic client is connected; it also enables the lamp refresh.
inline std::atomic<bool> realTrafficDisplay{false};

enum class ReaderLamp : std::uint8_t { receiving = 1, stale = 2, stopped = 3 };
inline std::atomic<ReaderLamp> trafficLamp{ReaderLamp::stopped};
inline std::atomic<ReaderLamp> weatherLamp{ReaderLamp::stopped};

inline constexpr std::int32_t kStandardQnh = 1013;
// The QNH (hPa) the engine uses, and the one the status panel shows.
inline std::atomic<std::int32_t> publishedQnh{kStandardQnh};
inline std::atomic<std::int32_t> displayedQnh{kStandardQnh};

// "RT prof edition: 10.0.1" in the status panel; empty while unknown.
void setRealTrafficText(std::string text);
std::string realTrafficText();

// The window installs a hook that asks its UI thread to repaint the status
// panel; it must not block. Without a hook nothing happens.
void setFeedRepaintHook(std::function<void()> hook);
void repaintFeedStatus();

// Called (on the run thread) when the traffic client has gone away while the
// run goes on: the engine takes its live aircraft away.
void setRealTrafficGoneHandler(std::function<void()> handler);
void onRealTrafficGone();

// A reader thread ended with an error: the message line and Log.txt say so,
// and the run ends with "READER ERROR", restarting after 15 seconds (unless
// another party ended it first).
void gf_readerStopped(const std::string& readerName, const std::string& error);

}  // namespace qvl
