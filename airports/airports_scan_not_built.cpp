// Without the scan the stand files already in the airports folders are used
// as they are, and nothing is counted.
#include "airports/airports_scan.h"
#include "core/not_built.h"

namespace qvl {

AirportsScanCounts AirportsScan::gf_scanAirports() {
    notBuiltYet("the add-on airports scan");
    return {};
}

void AirportsScan::forgetUnrecognisedAirports() { notBuiltYet("the add-on airports scan"); }

}  // namespace qvl
