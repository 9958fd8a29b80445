// What spawning and the stand conflicts need of the park airport's stands:
// the nearest fitting stand, a stand by number, the stands no aircraft may
// be born on, the learning of a flight at its stand and the cargo-stand
// display. The stand lookups and the stand learning answer them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "airports/stand.h"
#include "core/geodesy.h"
#include "engine/live_ac.h"

namespace qvl {

struct Engine;

// The nearest stand within the radius (nm) that fits the aircraft; nullptr when none does.
const Stand* standNear(Engine& engine, const GeoPosition& position, const LiveAc& ac, double radiusNm, bool wide);
// The stand with that number; nullptr for 0 or an unknown number.
const Stand* standByNumber(Engine& engine, std::uint32_t number);
// The park airport's reserved stand.
bool standKeptFree(Engine& engine, const Stand& stand);
// The stand at the user aircraft's position, which the user may take or leave.
bool standUnderUser(Engine& engine, const Stand& stand);
// Records the flight as a learned option of its stand (mode 0 arrival, 1 birth, 2/3 seen while parked).
void learnStandOption(Engine& engine, std::uint32_t standNumber, FlightRec& flight, int mode);
// A cargo aircraft on a stand not marked for cargo shows that stand as cargo.
void showCargoStand(Engine& engine, const LiveAc& ac);
// The most live and static aircraft the park airport may hold parked; below 1 no limit.
std::int32_t parkLimit(Engine& engine);

}  // namespace qvl
