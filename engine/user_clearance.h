// Which of the two clearance rules around the user aircraft applies this
// second: the ground rule or the airborne one, each only when its setting is
// on.
#pragma once

namespace qvl {

struct Engine;

void clearAroundUser(Engine& engine, bool userOnGround);

}  // namespace qvl
