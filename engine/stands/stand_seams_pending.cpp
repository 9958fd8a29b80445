// Until the park airport's reserved stand, the cargo-stand display and the
// static parking are wired in: no stand is kept free, no stand shows cargo,
// and parking has no limit.
#include "engine/stands/stand_seams.h"

namespace qvl {

bool standKeptFree(Engine& /*engine*/, const StandView& /*stand*/) { return false; }

void showCargoStand(Engine& /*engine*/, const LiveAc& /*ac*/) {}

std::int32_t parkLimit(Engine& /*engine*/) { return 0; }

}  // namespace qvl
