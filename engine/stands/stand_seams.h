// What spawning and the stand conflicts need of the park airport's stands:
// the nearest fitting stand, a stand by number, the stands no aircraft may
// be born on, the learning of a flight at its stand and the cargo-stand
// display. The stand lookups and the stand learning answer them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "engine/live_ac.h"

namespace qvl {

struct Engine;

// One stand of the park airport as the conflict rules read it.
struct StandView {
    std::uint32_t number = 0;
    std::string id;
    double latitude = 0.0;  // degrees
    double longitude = 0.0;
    double heading = 0.0;  // radians
    double radius = 0.0;   // nm
    std::uint8_t flag = 0;
    std::vector<std::uint32_t> neighbours;
};

// The nearest stand within the radius (nm) that fits the aircraft; none when none does.
std::optional<StandView> standNear(Engine& engine, const GeoPosition& position, const LiveAc& ac, double radiusNm,
                                   bool wide);
// The stand with that number; none for 0 or an unknown number.
std::optional<StandView> standByNumber(Engine& engine, std::uint32_t number);
// The park airport's reserved stand.
bool standKeptFree(Engine& engine, const StandView& stand);
// The stand at the user aircraft's position, which the user may take or leave.
bool standUnderUser(Engine& engine, const StandView& stand);
// Records the flight as a learned option of its stand (mode 0 arrival, 1 birth, 2/3 seen while parked).
void learnStandOption(Engine& engine, std::uint32_t standNumber, FlightRec& flight, int mode);
// A cargo aircraft on a stand not marked for cargo shows that stand as cargo.
void showCargoStand(Engine& engine, const LiveAc& ac);
// The most live and static aircraft the park airport may hold parked; below 1 no limit.
std::int32_t parkLimit(Engine& engine);

}  // namespace qvl
