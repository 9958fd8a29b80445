// The end of a run when the simulator goes away or turns out to be the other
// simulator.
//
// Run control owns the end of a run and will take this function over with
// its full switch of simulators (the livery and airport rescans, the install
// path field, the combo box). Until then the simulator link carries the
// least it needs: the choice switched and saved, or the run ended as
// "SIM WAS CLOSED".
#pragma once

#include <cstdint>

namespace qvl {

struct RunState;
struct SimLinkState;

enum class SimDisconnect : std::uint8_t {
    simulatorGone,   // the connection was lost or failed
    wrongSimulator,  // the simulator that answered is not the chosen one
};

// Nothing when the run is already closing. With a wrong simulator:
// SIM_CHOICE becomes the other simulator (saved) and the run ends with NEW
// SETTINGS after 3 seconds. Otherwise: logged, and the run ends with SIM WAS
// CLOSED, delay 0.
void gf_simNoLongerConnected(const SimLinkState& link, RunState& run, SimDisconnect why);

}  // namespace qvl
