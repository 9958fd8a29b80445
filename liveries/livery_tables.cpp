#include "liveries/livery_tables.h"

#include <fmt/format.h>

#include <algorithm>
#include <cassert>
#include <utility>

#include "core/random.h"

namespace qvl {
namespace {

// Room for what installed packages hold today, so the tables do not rehash
// while they are built.
constexpr std::size_t kAirlineReserve = 2048;
constexpr std::size_t kCargoAirlineReserve = 256;
constexpr std::size_t kPaxModelReserve = 324;
constexpr std::size_t kCargoModelReserve = 75;
constexpr std::size_t kModelsPerAirlineReserve = 128;

// Files runs of liveries (one airline, or one airline pair, at a time; one
// model at a time within it) into the airline-model map. A key that is
// already there keeps its value: a later run under the same key is dropped.
class RunCollector {
public:
    explicit RunCollector(AirlineModelMap& target) : target_(target) { models_.reserve(kModelsPerAirlineReserve); }

    void add(const LiveryData& livery) { entries_.push_back({.title = livery.title, .cargo = livery.key.cargo}); }

    void flushEntries(CodeId model) {
        if (entries_.empty()) return;
        models_.try_emplace(model, std::move(entries_));
        entries_.clear();
    }
    [[nodiscard]] bool hasModels() const { return !models_.empty(); }
    void flushModels(CodeId airline) {
        if (models_.empty()) return;
        target_.try_emplace(airline, std::move(models_));
        models_.clear();
        models_.reserve(kModelsPerAirlineReserve);
    }

private:
    AirlineModelMap& target_;
    CodeIdMap<std::vector<LiveryEntry>> models_;
    std::vector<LiveryEntry> entries_;
};

// Liveries without a second airline, under their airline.
void collectSingleAirlines(const LiveryList& liveries, AirlineModelMap& target) {
    RunCollector collector(target);
    CodeId model = 0;
    CodeId airline = 0;
    for (const LiveryData& livery : liveries) {
        if (livery.key.secondAirlineId != 0) continue;
        if (livery.key.modelId != model) {
            collector.flushEntries(model);
            model = livery.key.modelId;
        }
        if (livery.key.airlineId != airline) {
            collector.flushEntries(model);
            collector.flushModels(airline);
            airline = livery.key.airlineId;
        }
        collector.add(livery);
    }
    collector.flushEntries(model);
    collector.flushModels(airline);
}

// Liveries with a second airline, under their combined airline only.
void collectAirlinePairs(const LiveryList& liveries, AirlineModelMap& target) {
    RunCollector collector(target);
    CodeId model = 0;
    std::pair<CodeId, CodeId> pair{0, 0};
    auto flushPair = [&] {
        if (collector.hasModels()) collector.flushModels(combinedAirlineId(pair.first, pair.second));
    };
    for (const LiveryData& livery : liveries) {
        if (livery.key.secondAirlineId == 0) continue;
        if (livery.key.modelId != model) {
            collector.flushEntries(model);
            model = livery.key.modelId;
        }
        if (std::pair{livery.key.airlineId, livery.key.secondAirlineId} != pair) {
            collector.flushEntries(model);
            flushPair();
            pair = {livery.key.airlineId, livery.key.secondAirlineId};
        }
        collector.add(livery);
    }
    collector.flushEntries(model);
    flushPair();
}

void indexTitles(LiveryTables& tables) {
    for (const auto& [airline, models] : tables.airlineModels) {
        for (const auto& [model, entries] : models) {
            for (const LiveryEntry& entry : entries) tables.titleIndex.try_emplace(entry.title, entry.title);
        }
    }
}

// The entries' titles of one kind (cargo or pax), in their order.
TitleList titlesOfKind(const std::vector<LiveryEntry>& entries, bool cargo) {
    const auto count = std::count_if(entries.begin(), entries.end(),
                                     [cargo](const LiveryEntry& e) { return (e.cargo != 0) == cargo; });
    TitleList titles;
    titles.reserve(static_cast<std::size_t>(count));
    for (const LiveryEntry& entry : entries) {
        if ((entry.cargo != 0) == cargo) titles.emplace_back(entry.title);
    }
    return titles;
}

CodeId randomModelOf(const std::vector<CodeId>& models) {
    return models.empty() ? CodeId{0} : models[gf_randomIndex(models.size())];
}

}  // namespace

void LiveryTables::reset() {
    gf_clearLiveryTables(*this);
    liveries.clear();
    regcodeResults.clear();
    catalogueBuilt = false;
    clearRequested.store(false);
}

void gf_clearLiveryTables(LiveryTables& tables) {
    assert(!tables.titleViewsHeld || !tables.titleViewsHeld());
    tables.similar.byAirline.clear();
    tables.similar.byModel.clear();
    tables.similar.prefixGroups.clear();
    tables.registeredTitles.lists.clear();
    tables.registeredTitles.inlineCount = 0;
    tables.reservedIndex.titles.clear();
    tables.reservedIndex.indexedCount = 0;
    tables.reservedTitles.clear();
    tables.specialRegcodes.clear();
    tables.regcodes.clear();
    tables.inlineRegcodes.clear();
    tables.lightModels.clear();
    tables.bizjetModels.clear();
    tables.rotorcraftModels.clear();
    tables.paxModels.clear();
    tables.cargoModels.clear();
    for (auto& kind : tables.catalogue) kind.clear();
    tables.titleIndex.clear();
    // Last: it owns the titles that everything above points into.
    tables.airlineModels.clear();
}

void gf_requestLiveryTablesClear(LiveryTables& tables) { tables.clearRequested.store(true); }

bool honourLiveryTablesClearRequest(LiveryTables& tables) {
    if (!tables.clearRequested.exchange(false)) return false;
    gf_clearLiveryTables(tables);
    tables.catalogueBuilt = false;
    return true;
}

bool gf_hasLiveriesFor(const LiveryTables& tables, CodeId airlineId, CodeId modelId) {
    const auto airline = tables.airlineModels.find(airlineId);
    return airline != tables.airlineModels.end() && airline->second.contains(modelId);
}

std::string_view lf_findLiveryTitle(const LiveryTables& tables, std::string_view title) {
    const auto found = tables.titleIndex.find(title);
    return found == tables.titleIndex.end() ? std::string_view{} : found->second;
}

CodeId lf_randomLightModel(const LiveryTables& tables) { return randomModelOf(tables.lightModels); }
CodeId lf_randomBizjetModel(const LiveryTables& tables) { return randomModelOf(tables.bizjetModels); }
CodeId lf_randomRotorcraftModel(const LiveryTables& tables) { return randomModelOf(tables.rotorcraftModels); }

CodeId combinedAirlineId(CodeId airlineId, CodeId secondAirlineId) {
    return gf_airlineId(fmt::format("{}{}", airlineCodeOf(airlineId), airlineCodeOf(secondAirlineId)));
}

void lf_buildAirlineModelMap(const LiveryList& liveries, LiveryTables& tables) {
    tables.airlineModels.reserve(kAirlineReserve);
    collectSingleAirlines(liveries, tables.airlineModels);
    collectAirlinePairs(liveries, tables.airlineModels);
    indexTitles(tables);
}

void lf_buildCatalogue(LiveryTables& tables) {
    tables.catalogue[kPaxIndex].reserve(kAirlineReserve);
    tables.catalogue[kCargoIndex].reserve(kCargoAirlineReserve);
    for (const auto& [airline, models] : tables.airlineModels) {
        ModelTitleMap pax;
        ModelTitleMap cargo;
        for (const auto& [model, entries] : models) {
            if (TitleList titles = titlesOfKind(entries, false); !titles.empty())
                pax.try_emplace(model, std::move(titles));
            if (TitleList titles = titlesOfKind(entries, true); !titles.empty()) {
                cargo.try_emplace(model, std::move(titles));
            }
        }
        if (!cargo.empty()) tables.catalogue[kCargoIndex].try_emplace(airline, std::move(cargo));
        if (!pax.empty()) tables.catalogue[kPaxIndex].try_emplace(airline, std::move(pax));
    }
}

void lf_buildModelTables(LiveryTables& tables) {
    struct Element {
        std::string_view title;
        CodeId model = 0;
        bool cargo = false;
    };
    std::vector<Element> elements;
    for (const auto& [airline, models] : tables.airlineModels) {
        for (const auto& [model, entries] : models) {
            for (const LiveryEntry& entry : entries) {
                elements.push_back({.title = entry.title, .model = model, .cargo = entry.cargo != 0});
            }
        }
    }
    std::stable_sort(elements.begin(), elements.end(),
                     [](const Element& a, const Element& b) { return a.model < b.model; });

    tables.paxModels.reserve(kPaxModelReserve);
    tables.cargoModels.reserve(kCargoModelReserve);
    TitleList pax;
    TitleList cargo;
    auto flush = [&](CodeId model) {
        if (!cargo.empty()) tables.cargoModels.try_emplace(model, std::move(cargo));
        if (!pax.empty()) tables.paxModels.try_emplace(model, std::move(pax));
        cargo.clear();
        pax.clear();
    };
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (i > 0 && elements[i].model != elements[i - 1].model) flush(elements[i - 1].model);
        (elements[i].cargo ? cargo : pax).push_back(elements[i].title);
    }
    if (!elements.empty()) flush(elements.back().model);
}

}  // namespace qvl
