#include "engine/base/parking_state.h"

namespace qvl {

void ParkingState::reset() {
    parkAirports.clear();
    distancesAt = {};
    distancesComputed = false;
    loadPending = false;
    parkFilesRead.forget();
    groundQuestion.forget();
    groundQuestionFirst = false;
    candidates.clear();
    removals.clear();
    kept.clear();
    parkedLive.clear();
    liveCallsigns.clear();
    realPassFit = 0;
    softPassFit = -1;
    display = ParkingDisplay{};
    update.reset();
}

}  // namespace qvl
