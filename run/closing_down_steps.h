// The steps of other parts that the closing down calls (closing_down.cpp);
// it also takes the traffic run's accepting step and the main loop's logs.
// All are called on the run thread.
#pragma once

#include <chrono>

namespace qvl {

class ClosingDownSteps {
public:
    virtual ~ClosingDownSteps() = default;

    virtual void stopSimClient() = 0;
    virtual void stopReaders() = 0;
    virtual void closeRealTrafficLink() = 0;
    virtual void leaveParkAirport() = 0;
    virtual void removeFlightPlanFolder() = 0;
    // What the run counted for the window beside the settings (the
    // unrecognised add-on airports).
    virtual void forgetRunTexts() = 0;
    // Joins the simulator client thread and the readers, each within the
    // bound; false when one has not ended (it is then left running).
    virtual bool joinRunThreads(std::chrono::milliseconds bound) = 0;
    // Every part's run state back to its start (the window's texts apart).
    virtual void resetRunParts() = 0;
};

}  // namespace qvl
