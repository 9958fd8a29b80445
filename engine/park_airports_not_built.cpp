// Without park airports no airport is current: no stand is kept free and
// nothing changes; without static parking no aircraft is parked or left.
#include "core/not_built.h"
#include "engine/park_airports.h"

namespace qvl {

void lf_readMyParkAirports(Engine& /*engine*/) { notBuiltYet("park airports"); }

void clearParkReservedStand(Engine& /*engine*/) { notBuiltYet("park airports"); }

bool gf_checkParkAirports(Engine& /*engine*/, std::string& text) {
    notBuiltYet("park airports");
    text.clear();
    return false;
}

void gf_updateStaticParking(Engine& /*engine*/, bool /*initialPass*/) { notBuiltYet("static parking"); }

void lf_adjustParking(Engine& /*engine*/) { notBuiltYet("static parking"); }

void gf_leaveParkAirport(Engine& /*engine*/) { notBuiltYet("static parking"); }

}  // namespace qvl
