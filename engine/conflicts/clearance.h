// Keeps AI aircraft out of the user aircraft's way. The main loop calls one
// of the two steps once a second: on the ground the nearest offender goes,
// airborne the one on the user's line or in the corridor behind an aircraft
// ahead. At most one aircraft goes per call.
#pragma once

namespace qvl {

struct Engine;

// The user on the ground: the first live aircraft on the ground within
// 1.15 x the two half spans; else, once the user has moved, the first
// static aircraft whose stand lies within 1.1 x each half span.
void gf_removeAcNearUser(Engine& engine);

// The user airborne: below 500 ft, an aircraft on the ground within 1 nm and
// 50 ft of the user's extended line; at any height, an aircraft whose close
// corridor the user sits in.
void gf_removeAcOnUserLine(Engine& engine);

}  // namespace qvl
