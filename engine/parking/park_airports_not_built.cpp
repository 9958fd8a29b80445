// Without park airports no airport is current: no stand is kept free and
// nothing changes.
#include "core/not_built.h"
#include "engine/parking/park_airports.h"

namespace qvl {

bool lf_readMyParkAirports(Engine& /*engine*/) {
    notBuiltYet("park airports");
    return true;
}

void clearParkReservedStand(Engine& /*engine*/) { notBuiltYet("park airports"); }

bool gf_checkParkAirports(Engine& /*engine*/, bool /*checkStand*/, std::string& text) {
    notBuiltYet("park airports");
    text.clear();
    return false;
}

}  // namespace qvl
