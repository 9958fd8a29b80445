// The flight as the run's main loop sees it through the link: whether it
// runs, the simulator's once-a-second flag looked at without taking it, and
// the position batches dropped when the flight stops.
#pragma once

namespace qvl {

struct SimLinkState;
class UserAircraftState;

// The simulator runs and its queues are not paused.
[[nodiscard]] bool flightRunning(const SimLinkState& link);
// The once-a-second flag is up; it is left up for the tick to take.
[[nodiscard]] bool oneSecondPending(UserAircraftState& user);
// Both position batches emptied.
void clearPositionBatches(SimLinkState& link);

}  // namespace qvl
