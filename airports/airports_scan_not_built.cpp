// Without the scan the stand files already in the airports folders are used
// as they are, and nothing is counted.
#include "airports/airports_scan.h"
#include "core/not_built.h"

namespace qvl {

void gf_scanAirports() { notBuiltYet("the add-on airports scan"); }

void forgetUnrecognisedAirports() { notBuiltYet("the add-on airports scan"); }

}  // namespace qvl
