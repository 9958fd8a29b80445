// The scan of the add-on airports, which writes their stand files, and the
// count of add-on airports it did not recognise.
#pragma once

namespace qvl {

void gf_scanAirports();
// The count of unrecognised add-on airports back to 0 at the end of a run.
void forgetUnrecognisedAirports();

}  // namespace qvl
