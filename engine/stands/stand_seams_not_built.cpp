// The parking limit comes with the parking cycle; until it is built parking
// has no limit.
#include "core/not_built.h"
#include "engine/stands/stand_seams.h"

namespace qvl {

std::int32_t parkLimit(Engine& /*engine*/) {
    notBuiltYet("static parking");
    return 0;
}

}  // namespace qvl
