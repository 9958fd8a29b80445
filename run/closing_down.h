// The end of a run. Whichever party ends the run records its reason (first
// wins, core/run_state.h); the run thread then closes down: it stops the
// simulator client, the readers and the traffic client link, joins their
// threads, cleans up, and either restarts inside the process (a countdown,
// the reset of the run's state, a new run thread) or ends the program.
//   restart: NEW SETTINGS, SIMCONNECT ERROR, READER ERROR
//   exit:    every other reason; NEW FLIGHT after a message and 10 seconds;
//            SYSTEM ERROR once the user has closed the window
#pragma once

#include <chrono>
#include <cstdint>

#include "run/run_control.h"

namespace qvl {

inline constexpr std::chrono::milliseconds kStopSettleTime{500};
inline constexpr std::chrono::milliseconds kSystemErrorPollTime{500};
inline constexpr std::chrono::seconds kNewFlightNoticeTime{10};

// True for the reasons that start a new run in the process.
bool restartsAfter(RestartReason reason) noexcept;

void lf_closingDown(RunControl& control);
// "Restarting after N seconds" counted down on the message line; ends early
// (false) when the window is closed meanwhile.
bool lf_restartCountdown(RunControl& control);
// Every run global back to its start value; what lives for the process stays.
void lf_resetRunState(RunControl& control);

// The close button, and the start-up's own way out: closeRequested and
// closingFlag raised, the traffic client link closed, USER CLOSED SIM unless
// a reason was recorded before.
void userCloseExit(RunControl& control);

}  // namespace qvl
