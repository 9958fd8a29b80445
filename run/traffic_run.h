// The last step of a run's start: everything that moves traffic is started
// (the engine's containers, the simulator client, the user aircraft's data,
// the traffic client link, the two readers), then a bounded wait for the
// first traffic. True when the run goes on into the main loop.
#pragma once

#include <chrono>

#include "run/run_control.h"

namespace qvl {

inline constexpr std::chrono::seconds kTrafficReaderDelay{2};
inline constexpr std::chrono::milliseconds kFirstTrafficPoll{100};
inline constexpr int kFirstTrafficPolls = 150;

bool lf_runTraffic(RunControl& control);

}  // namespace qvl
