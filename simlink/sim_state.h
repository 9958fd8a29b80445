// The simulator link's program-wide state that other parts read.
//
// simHandle is written by the SimClient thread only. Code on other threads
// that calls the simulator loads it while holding simQueueMutex (see
// sim_queues.h); the SimClient thread clears it under that mutex before it
// closes the connection, so no such call can use a handle being closed.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/sim/sim_api.h"

namespace qvl {

// The live connection; nullptr while there is none.
inline std::atomic<sim::SimConnection*> simHandle{nullptr};
// True while the simulator reports that the simulation runs.
inline std::atomic<bool> simRunning{false};
// While true nothing is sent to the simulator and the user aircraft is not asked for.
inline std::atomic<bool> simQueuesPaused{false};
// The user's aircraft; an object counts as AI only when its id is greater.
inline std::atomic<std::uint32_t> userObjectId{0};

}  // namespace qvl
