#include "engine/catalogue_liveries.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qvl {
namespace {

// The record's fields as the matchers read them; the texts are built from
// the record only when a line is written.
MatchFlight matchFlightOf(const FlightRec& flight) {
    return {.key = flight.key,
            .registration = flight.registration,
            .category = flight.category,
            .title = flight.liveryTitle,
            .fsltl = flight.fsltlLivery,
            .line = [&flight] { return gf_flightLine(flight); },
            .shortLine = [&flight] { return gf_flightLineShort(flight); }};
}

}  // namespace

CatalogueLiveries::CatalogueLiveries(LiveryTables& tables, EngineState& state, LiveryMatchCounters& counters)
    : tables_(tables), uncreatable_(state.uncreatable), counters_(counters) {
    tables_.titleViewsHeld = [&state] { return holdsLiveryTitleViews(state); };
}

CatalogueLiveries::~CatalogueLiveries() { tables_.titleViewsHeld = {}; }

void CatalogueLiveries::matchLiveAcLivery(FlightRec& flight) {
    MatchFlight match = matchFlightOf(flight);
    gf_matchLiveAcLivery({.tables = tables_, .dontUseTitles = uncreatable_.dontUseTitles, .counters = counters_},
                         match);
    flight.liveryTitle = match.title;
    if (!match.title.empty()) flight.fsltlLivery = match.fsltl;
}

bool CatalogueLiveries::matchStaticAcLivery(FlightRec& flight, bool cargoStand) {
    return matchStaticAcLiveryOnStand(flight, {}, cargoStand);
}

bool CatalogueLiveries::matchStaticAcLiveryOnStand(FlightRec& flight, std::string_view standId, bool cargoStand) {
    MatchFlight match = matchFlightOf(flight);
    const bool matched =
        gf_matchStaticAcLivery({.tables = tables_, .dontUseTitles = uncreatable_.dontUseTitles, .counters = counters_},
                               match, {.id = standId, .cargo = cargoStand});
    flight.liveryTitle = match.title;
    return matched;
}

std::string_view CatalogueLiveries::registrationTitle(std::string_view registration) {
    const auto found = tables_.regcodes.find(registration);
    return found == tables_.regcodes.end() ? std::string_view{} : found->second;
}

void CatalogueLiveries::logMatchSummary() const {
    // The engine keeps them unordered; sorted, two summaries of the same
    // run read alike.
    std::vector<std::string> uncreatable(uncreatable_.combinations.begin(), uncreatable_.combinations.end());
    std::sort(uncreatable.begin(), uncreatable.end());
    gf_logLiveryMatchSummary(counters_, uncreatable);
}

}  // namespace qvl
