// The main loop: one tick every 10 ms against a deadline until the run ends.
// The engine works every tick; slower work hangs off the seconds counter,
// which advances once per simulator second:
//   every 5 s   the user's position to the range filter, the simulator time
//               to the traffic client, the reserved stand, the Re-read request
//   every 15 s  the static-parking update step, stale reader lamps refreshed
//   every 30 s  the 30-second work (with the 60, 1200 and 86400-second work)
//   every 16 s, 59 s and 61 s, in seconds that are not multiples of 5: the
//               static parking, the reader lamps, the static duplicates
#pragma once

#include <cstdint>

#include "run/run_control.h"

namespace qvl {

// The periods of the seconds counter's work, in simulator seconds.
inline constexpr std::int32_t kFiveSecondPeriod = 5;
inline constexpr std::int32_t kParkingStepPeriod = 15;
inline constexpr std::int32_t kThirtySecondPeriod = 30;
inline constexpr std::int32_t kMinutePeriod = 60;
inline constexpr std::int32_t kNoMatchLogPeriod = 1200;
// Off the five-second grid: the static-parking update, the reader lamps, the
// static duplicates.
inline constexpr std::int32_t kStaticParkingPeriod = 16;
inline constexpr std::int32_t kReaderLampPeriod = 59;
inline constexpr std::int32_t kStaticDuplicatesPeriod = 61;

void lf_mainLoop(RunControl& control);
// One tick; false once the run is ending.
bool lf_tick(RunControl& control);
// The once-a-second work while the flight runs (advances the counter).
void lf_flightRunning(RunControl& control);
// The per-tick work while the simulator is paused or not running.
void lf_flightNotRunning(RunControl& control);
void lf_every30Seconds(RunControl& control);
void lf_rereadParkAirports(RunControl& control);

// The next deadline of the grid after a tick: `deadline` unless the loop is
// more than 100 ms behind it, then 10 ms from now (lost ticks are given up,
// never caught up).
RunClock::time_point nextTickTarget(RunClock::time_point deadline, RunClock::time_point now);

}  // namespace qvl
