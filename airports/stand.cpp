#include "airports/stand.h"

#include <fmt/format.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/units.h"
#include "refdata/code_table.h"

namespace qvl {

namespace {

constexpr std::size_t kNeighbourRoom = 8;

}  // namespace

Stand::Stand(std::string standId, std::vector<LearnedFlight> learned, const StandPlacement& placement,
             double radiusMetres, const StandKind& kind)
    : flights(std::move(learned)),
      id(std::move(standId)),
      latitude(placement.latitude),
      longitude(placement.longitude),
      heading(placement.heading),
      radius(radiusMetres / kMetresPerNm),
      type(kind.type),
      cargo(kind.cargo),
      ramp(kind.ramp),
      heli(kind.heli) {
    neighbours.reserve(kNeighbourRoom);
}

Stand& lf_emplaceStand(std::vector<Stand>& stands, Stand&& stand) {
    if (stands.size() == stands.capacity()) {
        stands.reserve(stands.size() + std::max<std::size_t>(stands.size() / 2, 1));
    }
    return stands.emplace_back(std::move(stand));
}

void gf_clearStands(std::vector<Stand>& stands) { stands.clear(); }

std::string flightCodeText(const DbaseKey& ids) {
    const std::string_view airline = airlineCodeOf(ids.airlineId);
    const std::string second = ids.operatorId != 0 ? fmt::format(",{}", airlineCodeOf(ids.operatorId)) : "";
    return fmt::format("{:3}{:4} {:4}{}{:3}", airline, second, modelCodeOf(ids.modelId), ids.marker != 0 ? "." : " ",
                       ids.cargo != 0 ? "(C)" : "");
}

}  // namespace qvl
