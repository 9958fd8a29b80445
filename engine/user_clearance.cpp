#include "engine/user_clearance.h"

#include "core/settings.h"
#include "engine/conflicts/clearance.h"

namespace qvl {

void clearAroundUser(Engine& engine, bool userOnGround) {
    if (userOnGround) {
        if (COLLISION_USER_GND.value()) gf_removeAcNearUser(engine);
    } else if (COLLISION_USER_AIR.value()) {
        gf_removeAcOnUserLine(engine);
    }
}

}  // namespace qvl
