#include "liveries/livery_data.h"

#include <algorithm>

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

}  // namespace qvl
