#include "liveries/livery_data.h"

#include <algorithm>
#include <utility>

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

namespace {

// A livery's place in livery order, its code texts looked up once rather
// than at every comparison, and its title's characters reached in one step.
struct SortKey {
    LiveryKey key;
    std::string_view airline;
    std::string_view secondAirline;
    std::string_view model;
    std::string_view title;
    std::size_t index;
};

// lf_liveryLess on the looked-up texts.
bool keyLess(const SortKey& x, const SortKey& y) {
    if (x.key.airlineId != y.key.airlineId) return x.airline < y.airline;
    if (x.key.secondAirlineId != y.key.secondAirlineId) return x.secondAirline < y.secondAirline;
    if (x.key.modelId != y.key.modelId) return x.model < y.model;
    return x.title < y.title;
}

}  // namespace

void sortLiveries(LiveryList& liveries) {
    std::vector<SortKey> keys;
    keys.reserve(liveries.size());
    for (std::size_t i = 0; i < liveries.size(); ++i) {
        const LiveryData& livery = liveries[i];
        keys.push_back({.key = livery.key,
                        .airline = airlineText(livery.key.airlineId),
                        .secondAirline = airlineText(livery.key.secondAirlineId),
                        .model = modelText(livery.key.modelId),
                        .title = livery.title,
                        .index = i});
    }
    std::stable_sort(keys.begin(), keys.end(), keyLess);
    // The records move once, into their sorted places.
    LiveryList sorted;
    sorted.reserve(liveries.size());
    for (const SortKey& key : keys) sorted.push_back(std::move(liveries[key.index]));
    liveries.swap(sorted);
}

std::string gf_codeText(const LiveryKey& key) {
    const std::string second =
        key.secondAirlineId != 0 ? fmt::format(",{}", airlineCodeOf(key.secondAirlineId)) : std::string{};
    return fmt::format("{:3}{:4} {:4}{}{:3}", airlineCodeOf(key.airlineId), second, modelCodeOf(key.modelId),
                       key.marker != 0 ? "." : " ", key.cargo != 0 ? "(C)" : "");
}

}  // namespace qvl
