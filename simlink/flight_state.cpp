#include "simlink/flight_state.h"

#include "simlink/sim_state.h"
#include "simlink/user_aircraft.h"

namespace qvl {

bool flightRunning(const SimLinkState& link) { return link.simRunning.load() && !link.simQueuesPaused.load(); }

bool oneSecondPending(UserAircraftState& user) {
    if (!user.takeOneSecond()) return false;
    user.markOneSecond();  // looked at, left for the tick to take
    return true;
}

void clearPositionBatches(SimLinkState& link) {
    // Two exchanges leave both batches empty.
    link.queues.exchangePositionBatches();
    link.queues.exchangePositionBatches();
}

}  // namespace qvl
