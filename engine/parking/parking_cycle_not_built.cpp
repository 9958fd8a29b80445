// Without static parking no aircraft is parked or left.
#include "core/not_built.h"
#include "engine/parking/parking_cycle.h"

namespace qvl {

void gf_updateStaticParking(Engine& /*engine*/, bool /*first*/) { notBuiltYet("static parking"); }

void lf_adjustParking(Engine& /*engine*/) { notBuiltYet("static parking"); }

void gf_leaveParkAirport(Engine& /*engine*/) { notBuiltYet("static parking"); }

}  // namespace qvl
