// The park airport's reserved stand comes with the park-airport choice, the
// cargo-stand display and the parking limit with static parking; until they
// are built no stand is kept free, no stand shows cargo and parking has no
// limit.
#include "core/not_built.h"
#include "engine/stands/stand_seams.h"

namespace qvl {

bool standKeptFree(Engine& /*engine*/, const Stand& /*stand*/) {
    notBuiltYet("park airports");
    return false;
}

std::int32_t parkLimit(Engine& /*engine*/) {
    notBuiltYet("static parking");
    return 0;
}

}  // namespace qvl
