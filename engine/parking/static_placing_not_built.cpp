// Static parking is not built yet: no waiting static aircraft is placed.
#include "core/not_built.h"
#include "engine/parking/static_placing.h"

namespace qvl {

void lf_detcs(Engine& /*engine*/) { notBuiltYet("static parking"); }

}  // namespace qvl
