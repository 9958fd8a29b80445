// The end of a run when the simulator goes away or turns out to be the
// other simulator. The switch of simulators belongs to run control, which
// the simulator link reaches through its switchSimulator hook.
#pragma once

#include <cstdint>

namespace qvl {

struct RunState;
struct SimLinkState;

enum class SimDisconnect : std::uint8_t {
    simulatorGone,   // the connection was lost or failed
    wrongSimulator,  // the simulator that answered is not the chosen one
};

// Nothing when the run is already closing. With a wrong simulator: the
// program switches to the other simulator (the hook ends the run with NEW
// SETTINGS). Otherwise: logged, and the run ends with SIM WAS CLOSED, delay 0.
void gf_simNoLongerConnected(const SimLinkState& link, RunState& run, SimDisconnect why);

}  // namespace qvl
