#include "liveries/livery_data.h"

#include <algorithm>

#include <fmt/format.h>

namespace qvl {
namespace {

// Id 0 is "none" in every field and sorts first, whatever text the table
// holds under it.
std::string_view airlineText(CodeId id) { return id == 0 ? std::string_view{} : airlineCodeOf(id); }
std::string_view modelText(CodeId id) { return id == 0 ? std::string_view{} : modelCodeOf(id); }

}  // namespace

bool lf_liveryLess(const LiveryData& x, const LiveryData& y) {
    const LiveryKey& a = x.key;
    const LiveryKey& b = y.key;
    if (a.airlineId != b.airlineId) return airlineText(a.airlineId) < airlineText(b.airlineId);
    if (a.secondAirlineId != b.secondAirlineId) return airlineText(a.secondAirlineId) < airlineText(b.secondAirlineId);
    if (a.modelId != b.modelId) return modelText(a.modelId) < modelText(b.modelId);
    return x.title < y.title;
}

void sortLiveries(LiveryList& liveries) { std::stable_sort(liveries.begin(), liveries.end(), lf_liveryLess); }

std::string gf_codeText(const LiveryKey& key) {
    const std::string second =
        key.secondAirlineId != 0 ? fmt::format(",{}", airlineCodeOf(key.secondAirlineId)) : std::string{};
    return fmt::format("{:3}{:4} {:4}{}{:3}", airlineCodeOf(key.airlineId), second, modelCodeOf(key.modelId),
                       key.marker != 0 ? "." : " ", key.cargo != 0 ? "(C)" : "");
}

}  // namespace qvl
