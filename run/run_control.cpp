#include "run/run_control.h"

namespace qvl {

void RunRequests::reset() noexcept {
    rereadRequest.store(false);
    flushStaticRequest.store(false);
    callsignListRequest.store(false);
    callsignSelectionChanged.store(false);
    blockListChanged.store(false);
    rematchRequest.store(false);
    parkingUpdatePending.store(false);
    parkingUpdateStarted.store(false);
    parkingUpdateRunning.store(false);
    staticParkingActive.store(false);
}

}  // namespace qvl
