// The stand questions of spawning and the stand conflicts, answered by the
// stand lookups and the stand learning.
#include "engine/stands/stand_seams.h"

#include "engine/engine.h"
#include "engine/stands/stands.h"

namespace qvl {
namespace {

StandView viewOf(const StandInfo& stand) {
    return {.number = stand.number,
            .id = stand.id,
            .latitude = stand.latitude,
            .longitude = stand.longitude,
            .heading = stand.heading,
            .radius = stand.radius,
            .flag = static_cast<std::uint8_t>(stand.cargo ? 1 : 0),
            .neighbours = stand.neighbours};
}

}  // namespace

std::optional<StandView> standNear(Engine& engine, const GeoPosition& position, const LiveAc& ac, double radiusNm,
                                   bool wide) {
    const auto stand = gf_findStandNear(engine, position, ac, radiusNm, wide);
    if (!stand) return std::nullopt;
    return viewOf(*stand);
}

std::optional<StandView> standByNumber(Engine& engine, std::uint32_t number) {
    if (number == 0) return std::nullopt;
    const auto stand = engine.stands.findStand(number);
    if (!stand) return std::nullopt;
    return viewOf(*stand);
}

bool standUnderUser(Engine& engine, const StandView& stand) {
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (user.zeroPosition()) return false;
    const std::string name =
        gf_standNameAtPosition(engine, engine.state.userStandName, user.position(), user.onGround.has_value());
    return !name.empty() && name == stand.id;
}

void learnStandOption(Engine& engine, std::uint32_t standNumber, FlightRec& flight, int mode) {
    lf_addRealStandOption(engine, standNumber, flight, static_cast<StandLearning>(mode));
}

}  // namespace qvl
