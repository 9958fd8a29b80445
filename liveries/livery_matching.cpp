#include "liveries/livery_matching.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <optional>
#include <span>
#include <utility>

#include "core/log.h"
#include "core/random.h"
#include "core/settings.h"
#include "liveries/similar_models.h"
#include "refdata/code_table.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

// Draws among candidates before the reserved titles are set aside.
constexpr int kReservedDraws = 5;

// A word that an airline's livery titles carry, for a flight flown by one
// airline for another: the titles of the one that name the other.
struct ShortName {
    std::string_view code;
    std::string_view word;
};
constexpr std::array<ShortName, 35> kShortNames{{
    {"AAL", "American"},    {"ACA", "Canada"},     {"AFR", "France"},    {"ASA", "Alaska"},   {"ASH", "Mesa"},
    {"AVA", "Avianca"},     {"BAW", "British"},    {"BOX", "Aerologic"}, {"CAI", "Corendon"}, {"CFE", "Cityflyer"},
    {"DAE", "DHL Aero"},    {"DAL", "Delta"},      {"DHK", "DHL Air"},   {"EDV", "Endeavor"}, {"EZY", "easyjet"},
    {"FDX", "FedEx"},       {"FJO", "Flexjet"},    {"GJS", "GoJet"},     {"IBE", "Iberia"},   {"JIA", "PSA Airlines"},
    {"JZA", "Jazz"},        {"KLC", "Cityhopper"}, {"LRC", "Avianca"},   {"PDT", "Piedmont"}, {"PRM", "Prime"},
    {"QLK", "Quantaslink"}, {"QXE", "Horizon"},    {"RPA", "Republic"},  {"RYR", "Ryanair"},  {"SKW", "SkyWest"},
    {"SWA", "Southwest"},   {"UAL", "United"},     {"UPS", "UPS"},       {"VJT", "VistaJet"}, {"WJA", "WestJet"},
}};

// The word of a code; none for a code the table lacks (a title could well
// contain any stand-in text).
std::optional<std::string_view> lf_airlineShortName(std::string_view code) {
    const auto* found =
        std::find_if(kShortNames.begin(), kShortNames.end(), [code](const ShortName& row) { return row.code == code; });
    if (found == kShortNames.end()) return std::nullopt;
    return found->word;
}

// Up to and including the first '-' when that is not the first character
// (D-ABCD: "D-"), else the first character (N123AB: "N"). Not empty.
std::string_view registrationPrefix(std::string_view registration) {
    const std::size_t dash = registration.find('-');
    if (dash != std::string_view::npos && dash != 0) return registration.substr(0, dash + 1);
    return registration.substr(0, 1);
}

// An airline already in the table. Matching never interns: a code that is
// not there can have no liveries, and the table must not grow (or fill)
// inside the tick.
std::optional<CodeId> knownAirline(std::string_view code) {
    const auto id = airlineCodes().find(code);
    if (!id || *id == 0) return std::nullopt;
    return id;
}

// The airline under which liveries flown by one airline for another are
// filed: the two codes one after the other.
std::optional<CodeId> combinedAirline(CodeId airline, CodeId secondAirline) {
    const std::string_view first = airlineCodeOf(airline);
    const std::string_view second = airlineCodeOf(secondAirline);
    std::array<char, 32> text{};
    if (first.size() + second.size() > text.size()) return std::nullopt;
    std::copy(first.begin(), first.end(), text.begin());
    std::copy(second.begin(), second.end(), text.begin() + static_cast<std::ptrdiff_t>(first.size()));
    return knownAirline(std::string_view(text.data(), first.size() + second.size()));
}

bool isPrivate(CodeId airline) { return airlineCodeOf(airline) == kPrivateAirline; }

std::size_t cargoIndexOf(std::uint8_t cargo) { return cargo != 0 ? kCargoIndex : kPaxIndex; }

const TitleList* catalogueList(const LiveryTables& tables, std::size_t cargoIndex, CodeId airline, CodeId model) {
    const auto& airlines = tables.catalogue[cargoIndex];
    const auto byAirline = airlines.find(airline);
    if (byAirline == airlines.end()) return nullptr;
    const auto byModel = byAirline->second.find(model);
    return byModel == byAirline->second.end() ? nullptr : &byModel->second;
}

// The reserved titles as a set; rebuilt when the list has grown, emptied
// with the tables.
const ReservedTitleIndex& reservedIndex(LiveryTables& tables) {
    ReservedTitleIndex& index = tables.reservedIndex;
    if (index.indexedCount != tables.reservedTitles.size()) {
        index.titles.clear();
        index.titles.insert(tables.reservedTitles.begin(), tables.reservedTitles.end());
        index.indexedCount = tables.reservedTitles.size();
    }
    return index;
}

bool isSmallCategory(AircraftCategory category) {
    return category == AircraftCategory::Light || category == AircraftCategory::Buzjets ||
           category == AircraftCategory::Rotorcraft;
}

std::string stepLine(const MatchFlight& flight, std::string_view mark) {
    return fmt::format("          {} ={}= {}", flight.line ? flight.line() : std::string(), mark, flight.title);
}

// The list's titles that carry their own registration, looked up once per
// list and kept with the tables.
const std::vector<RegisteredTitle>& registeredTitles(LiveryTables& tables, const TitleList& titles) {
    RegisteredTitleCache& cache = tables.registeredTitles;
    if (cache.inlineCount != tables.inlineRegcodes.size()) {
        cache.lists.clear();
        cache.inlineCount = tables.inlineRegcodes.size();
    }
    auto [entry, added] = cache.lists.try_emplace(&titles);
    if (added) {
        for (const std::string_view title : titles) {
            const auto found = tables.inlineRegcodes.find(title);
            if (found != tables.inlineRegcodes.end()) entry->second.push_back({title, found->second});
        }
    }
    return entry->second;
}

// One matching of one flight: the steps, each of which leaves the flight's
// title set (a hit) or empty.
class Matching {
public:
    Matching(const LiveryMatcher& matcher, MatchFlight& flight)
        : tables_(matcher.tables), reserved_(reservedIndex(matcher.tables)), flight_(flight) {}

    [[nodiscard]] bool hit() const { return !flight_.title.empty(); }

    // Registration -> title through the registration codes.
    bool lf_matchRegcode() {
        if (flight_.registration.empty()) return false;
        const auto found = tables_.regcodes.find(flight_.registration);
        flight_.title = found == tables_.regcodes.end() ? std::string_view{} : found->second;
        return hit();
    }

    [[nodiscard]] bool isSpecialRegistration() const { return tables_.specialRegcodes.contains(flight_.registration); }

    // The catalogue, the key's own cargo flag first, then pax for cargo.
    bool lf_matchKey(const LiveryKey& key) {
        if (lf_matchKeyCargo(key, cargoIndexOf(key.cargo))) return true;
        return key.cargo != 0 && lf_matchKeyCargo(key, kPaxIndex);
    }

    bool lf_matchKeyCargo(const LiveryKey& key, std::size_t cargoIndex) {
        flight_.title = {};
        if (key.secondAirlineId == 0) {
            if (isPrivate(key.airlineId) && lf_matchPrivate(cargoIndex, key.airlineId, key.modelId)) return true;
            return lf_matchAirlineModel(cargoIndex, key.airlineId, key.modelId);
        }
        const std::string_view airlineCode = airlineCodeOf(key.airlineId);
        const std::string_view secondCode = airlineCodeOf(key.secondAirlineId);
        if (const auto combined = combinedAirline(key.airlineId, key.secondAirlineId);
            combined && lf_matchAirlineModel(cargoIndex, *combined, key.modelId)) {
            return true;
        }
        return lf_matchByShortName(cargoIndex, key.secondAirlineId, key.modelId, airlineCode) ||
               lf_matchByShortName(cargoIndex, key.airlineId, key.modelId, secondCode) ||
               lf_matchAirlineModel(cargoIndex, key.secondAirlineId, key.modelId) ||
               lf_matchAirlineModel(cargoIndex, key.airlineId, key.modelId);
    }

    // A similar model of the flight's category that the airline (the second
    // one when set) has liveries of.
    bool lf_matchSimilarModel(const LiveryKey& key) {
        flight_.title = {};
        const CodeId airline = key.secondAirlineId != 0 ? key.secondAirlineId : key.airlineId;
        auto byAirline = tables_.similar.byAirline.find(airline);
        if (byAirline == tables_.similar.byAirline.end()) return false;
        auto similar = byAirline->second.find(key.modelId);
        if (similar == byAirline->second.end()) return false;
        std::vector<CodeId>& models = similar->second;
        gf_shuffle(models);
        for (const CodeId model : models) {
            if (gf_categoryOfModelId(model) != flight_.category) continue;
            LiveryKey other = key;
            other.modelId = model;
            if (lf_matchKeyCargo(other, cargoIndexOf(other.cargo))) return true;
            if (other.cargo != 0 && lf_matchKeyCargo(other, kPaxIndex)) return true;
        }
        return false;
    }

    // The fictional airline, then (small categories only) any airline's
    // liveries of the model, of a similar model or of a random model of the
    // category. Each hit is offered to accept() with its step; a refused
    // one goes on with the next step.
    template <typename Accept>
    bool lf_matchFallback(bool cargo, Accept&& accept) {
        if (const auto fictional = knownAirline(kFictionalAirline)) {
            LiveryKey key = flight_.key;
            key.airlineId = *fictional;
            key.cargo = (key.cargo != 0 || cargo) ? 1 : 0;
            if (lf_matchKey(key) && accept(MatchStep::fictionalAirline)) return true;
        }
        if (!isSmallCategory(flight_.category)) return false;
        if (lf_matchAnyAirline(flight_.key.modelId) && accept(MatchStep::anyAirline)) return true;
        for (const CodeId model : otherModels()) {
            if (lf_matchAnyAirline(model) && accept(MatchStep::anyAirlineOtherModel)) return true;
        }
        flight_.title = {};
        return false;
    }

private:
    // Chooses among the titles: the first or a random one, set aside a
    // title reserved for a registration while others are left.
    template <typename Titles>
    void lf_pickLivery(const Titles& titles) {
        if (titles.empty()) return;
        for (int draw = 0; draw < kReservedDraws; ++draw) {
            flight_.title = titles[gf_randomIndex(titles.size())];
            if (!reserved_.titles.contains(flight_.title)) return;
        }
        const auto free = [this](std::string_view title) { return !reserved_.titles.contains(title); };
        const auto count = static_cast<std::uint64_t>(std::count_if(titles.begin(), titles.end(), free));
        if (count == 0) return;  // every one reserved: the last draw stands
        auto wanted = gf_randomIndex(count);
        for (const std::string_view title : titles) {
            if (!free(title)) continue;
            if (wanted == 0) {
                flight_.title = title;
                return;
            }
            --wanted;
        }
    }

    bool lf_matchAirlineModel(std::size_t cargoIndex, CodeId airline, CodeId model) {
        flight_.title = {};
        const TitleList* titles = catalogueList(tables_, cargoIndex, airline, model);
        if (titles == nullptr) return false;
        lf_pickLivery(*titles);
        return hit();
    }

    // The first title of the airline that names the other airline.
    bool lf_matchByShortName(std::size_t cargoIndex, CodeId airline, CodeId model, std::string_view otherCode) {
        flight_.title = {};
        const TitleList* titles = catalogueList(tables_, cargoIndex, airline, model);
        if (titles == nullptr) return false;
        const auto word = lf_airlineShortName(otherCode);
        if (!word) return false;
        const auto found = std::find_if(titles->begin(), titles->end(), [&word](std::string_view title) {
            return title.find(*word) != std::string_view::npos;
        });
        if (found != titles->end()) flight_.title = *found;
        return hit();
    }

    // Private liveries whose own registration shares the flight's prefix,
    // or a prefix of its group; never one of another country.
    bool lf_matchPrivate(std::size_t cargoIndex, CodeId airline, CodeId model) {
        flight_.title = {};
        if (flight_.registration.empty()) return false;
        const TitleList* titles = catalogueList(tables_, cargoIndex, airline, model);
        if (titles == nullptr || titles->empty()) return false;
        return matchByPrefixes(*titles);
    }

    // Any airline's liveries of the model in the flight's own kind (cargo or
    // pax): those of the registration's prefix or its group first, then any.
    bool lf_matchAnyAirline(CodeId model) {
        flight_.title = {};
        if (flight_.registration.empty()) return false;
        const ModelTitleMap& table = flight_.key.cargo != 0 ? tables_.cargoModels : tables_.paxModels;
        const auto found = table.find(model);
        if (found == table.end() || found->second.empty()) return false;
        if (matchByPrefixes(found->second)) return true;
        lf_pickLivery(found->second);
        return hit();
    }

    bool matchByPrefixes(const TitleList& titles) {
        const std::vector<RegisteredTitle>& registered = registeredTitles(tables_, titles);
        if (registered.empty()) return false;
        const std::string_view prefix = registrationPrefix(flight_.registration);
        if (pickWithPrefix(registered, prefix)) return true;
        for (const std::string& fellow : gf_prefixGroup(tables_, prefix)) {
            if (pickWithPrefix(registered, fellow)) return true;
        }
        return false;
    }

    bool pickWithPrefix(const std::vector<RegisteredTitle>& registered, std::string_view prefix) {
        lf_filterByPrefix(registered, prefix);
        lf_pickLivery(filtered_);
        return hit();
    }

    // The titles whose own registration begins with the prefix, in order.
    void lf_filterByPrefix(const std::vector<RegisteredTitle>& registered, std::string_view prefix) {
        filtered_.clear();
        for (const RegisteredTitle& entry : registered) {
            if (entry.registration.starts_with(prefix)) filtered_.push_back(entry.title);
        }
    }

    // The models of the last fallback step: the flight model's similar
    // models, or else one random model of its small category.
    std::span<const CodeId> otherModels() {
        const CodeId model = flight_.key.modelId;
        if (const auto similar = tables_.similar.byModel.find(model); similar != tables_.similar.byModel.end()) {
            gf_shuffle(similar->second);
            return similar->second;
        }
        switch (gf_categoryOfModelId(model)) {
            case AircraftCategory::Light: randomModel_ = lf_randomLightModel(tables_); break;
            case AircraftCategory::Buzjets: randomModel_ = lf_randomBizjetModel(tables_); break;
            case AircraftCategory::Rotorcraft: randomModel_ = lf_randomRotorcraftModel(tables_); break;
            default: randomModel_ = 0; break;
        }
        if (randomModel_ == 0) return {};
        return {&randomModel_, 1};
    }

    LiveryTables& tables_;
    const ReservedTitleIndex& reserved_;
    MatchFlight& flight_;
    std::vector<std::string_view> filtered_;
    CodeId randomModel_ = 0;
};

// A live match stands unless the simulator refused its title: then the
// title is dropped and the caller goes on with the next step.
bool lf_acceptMatch(const LiveryMatcher& matcher, MatchFlight& flight, MatchStep step) {
    if (matcher.dontUseTitles.contains(flight.title)) {
        flight.title = {};
        return false;
    }
    const auto index = static_cast<std::size_t>(step);
    ++matcher.counters.steps[index];
    gf_log(stepLine(flight, fmt::format("{}", index)));
    flight.fsltl = flight.title.find("FSLTL_") != std::string_view::npos;
    return true;
}

// The static matcher's acceptance: the same refusal, nothing counted.
bool acceptStatic(const LiveryMatcher& matcher, MatchFlight& flight, MatchStep step) {
    if (matcher.dontUseTitles.contains(flight.title)) {
        flight.title = {};
        return false;
    }
    gf_log(stepLine(flight, fmt::format("{}", static_cast<int>(step))));
    return true;
}

template <typename Accept>
bool matchSteps(const LiveryMatcher& matcher, MatchFlight& flight, const LiveryKey& privateKey, bool fallbackCargo,
                Accept&& accept) {
    Matching matching(matcher, flight);
    const std::int32_t depth = MATCHING_DEPTH.value();
    if (matching.lf_matchRegcode() &&
        accept(matching.isSpecialRegistration() ? MatchStep::specialRegistration : MatchStep::registration)) {
        return true;
    }
    if (depth < 2) return false;
    if (isPrivate(flight.key.airlineId)) {
        if (const auto fictional = knownAirline(kFictionalAirline)) {
            LiveryKey key = privateKey;
            key.airlineId = *fictional;
            if (matching.lf_matchKey(key) && accept(MatchStep::fictionalAirline)) return true;
        }
    }
    if (matching.lf_matchKey(flight.key) && accept(MatchStep::airlineModel)) return true;
    if (depth < 3) return false;
    if (matching.lf_matchSimilarModel(flight.key) && accept(MatchStep::similarModel)) return true;
    if (depth != 4) return false;
    flight.title = {};
    return matching.lf_matchFallback(fallbackCargo, accept);
}

}  // namespace

void gf_matchLiveAcLivery(const LiveryMatcher& matcher, MatchFlight& flight) {
    flight.title = {};
    const auto accept = [&](MatchStep step) { return lf_acceptMatch(matcher, flight, step); };
    if (!matchSteps(matcher, flight, flight.key, false, accept)) flight.title = {};
}

bool gf_matchStaticAcLivery(const LiveryMatcher& matcher, MatchFlight& flight, const MatchStand& stand) {
    if (!flight.title.empty()) {
        gf_log(stepLine(flight, "s"));
        return true;
    }
    LiveryKey privateKey = flight.key;
    privateKey.cargo = stand.cargo ? 1 : 0;
    const auto accept = [&](MatchStep step) { return acceptStatic(matcher, flight, step); };
    if (matchSteps(matcher, flight, privateKey, stand.cargo, accept)) return true;
    flight.title = {};
    gf_log(fmt::format("{:8}: {} no livery match ...", stand.id, flight.shortLine ? flight.shortLine() : ""));
    return false;
}

void gf_logLiveryMatchSummary(const LiveryMatchCounters& counters, const std::vector<std::string>& uncreatable) {
    if (std::none_of(counters.steps.begin(), counters.steps.end(), [](std::int32_t count) { return count > 0; })) {
        return;
    }
    std::vector<std::string> lines;
    lines.push_back(gf_starBanner(
        {.width1 = 64, .width2 = 0, .leadingNewline = true, .title = "live traffic livery matching summary"}));
    lines.emplace_back("Matches at step: ");
    for (std::size_t step = 0; step < kMatchStepCount; ++step) {
        lines.push_back(fmt::format("  {}: {}", step, counters.steps[step]));
    }
    if (!uncreatable.empty()) {
        lines.emplace_back("\nCould not be created");
        for (const std::string& text : uncreatable) lines.push_back("  " + text);
    }
    lines.push_back(gf_starBanner({.width1 = 64, .width2 = 36, .trailingNewline = true}));
    // One write, so no other thread's line lands inside the block.
    gf_log(fmt::format("{}", fmt::join(lines, "\n")));
}

}  // namespace qvl
