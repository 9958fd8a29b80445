// Until the stand lookups and the stand learning are wired in: no stand is
// found, nothing is learned, and parking has no limit.
#include "engine/stand_seams.h"

namespace qvl {

std::optional<StandView> standNear(Engine& /*engine*/, const GeoPosition& /*position*/, const LiveAc& /*ac*/,
                                   double /*radiusNm*/, bool /*wide*/) {
    return std::nullopt;
}

std::optional<StandView> standByNumber(Engine& /*engine*/, std::uint32_t /*number*/) { return std::nullopt; }

bool standKeptFree(Engine& /*engine*/, const StandView& /*stand*/) { return false; }

void learnStandOption(Engine& /*engine*/, std::uint32_t /*standNumber*/, FlightRec& /*flight*/, int /*mode*/) {}

void showCargoStand(Engine& /*engine*/, const LiveAc& /*ac*/) {}

std::int32_t parkLimit(Engine& /*engine*/) { return 0; }

}  // namespace qvl
