// The static-parking controls of the main window as the static parking and
// the run switch them: disabled while an update runs, an announced update
// with its wait on the message line, and the minute countdown to the next
// update, over the window's status and the flags and state it holds. Any
// thread may call these; the controls queue the change to the UI thread.
#pragma once

#include <cstdint>

#include "run/window/window_status.h"

namespace qvl {

// An update runs: the parking settings, "Flush static", "Re-read" and (unless
// INITIAL_LOAD_ONLY already keeps it off) "Now" are disabled.
void gf_disableParkingControls(const WindowStatus& status);
// The update is over: the controls can be used again and the countdown
// shows a full period.
void gf_enableParkingControls(const WindowStatus& status);

// Announces an update for the next 15-second parking cycle: the controls are
// disabled and the message line says how many seconds remain.
// `secondsCounter` is the run's count of seconds.
void lf_announceStaticParkingUpdate(const WindowStatus& status, std::uint32_t secondsCounter);

struct CountdownMinute {
    std::uint32_t secondsCounter = 0;  // the run's count of seconds
    bool staticParkingActive = false;  // the park airport's stands are loaded
};
// One minute of the run has passed: the countdown goes down, and when it runs
// out a new period starts and, with static parking active, INITIAL_LOAD_ONLY
// off and no update running or pending, an update is announced.
void stepStaticParkingCountdown(const WindowStatus& status, const CountdownMinute& minute);

}  // namespace qvl
