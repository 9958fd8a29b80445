// The cargo-stand display and the parking limit come with static parking;
// until they are built no stand shows cargo and parking has no limit.
#include "core/not_built.h"
#include "engine/stands/stand_seams.h"

namespace qvl {

void showCargoStand(Engine& /*engine*/, const LiveAc& /*ac*/) { notBuiltYet("static parking"); }

std::int32_t parkLimit(Engine& /*engine*/) {
    notBuiltYet("static parking");
    return 0;
}

}  // namespace qvl
