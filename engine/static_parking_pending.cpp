// Until static parking is built, nothing is placed.
#include "engine/static_parking.h"

namespace qvl {

void lf_detcs(Engine& /*engine*/) {}

}  // namespace qvl
