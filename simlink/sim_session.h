// The end of a run when the simulator goes away or turns out to be the other
// simulator.
//
// Run control owns the end of a run and will take this function over with
// its full switch of simulators (the livery and airport rescans, the install
// path field, the combo box). Until then the simulator link carries the
// least it needs: the choice switched and saved, or the run ended as
// "SIM WAS CLOSED".
#pragma once

namespace qvl {

// Nothing when the run is already closing. With `wrongSimulator`: SIM_CHOICE
// becomes the other simulator (saved) and the run ends with NEW SETTINGS
// after 3 seconds. Otherwise: logged, and the run ends with SIM WAS CLOSED,
// delay 0.
void gf_simNoLongerConnected(bool wrongSimulator);

}  // namespace qvl
