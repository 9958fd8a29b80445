// Static parking is not built yet: no waiting static aircraft is placed.
#include "core/not_built.h"
#include "engine/static_parking.h"

namespace qvl {

void lf_detcs(Engine& /*engine*/) { notBuiltYet("static parking"); }

}  // namespace qvl
