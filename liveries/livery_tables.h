// The livery catalogue and every table built from it: the airline-model map,
// which owns the titles, the pax and cargo catalogue, the model tables, the
// category model lists, the registration-code tables and the similar-model
// tables. One LiveryTables is owned by the program, built once per process
// on the run thread at start-up and read there while traffic runs.
//
// Every table but the airline-model map holds views of its titles, so the
// tables are emptied together (gf_clearLiveryTables) and a title that must
// outlive a rebuild is kept as a copy by whoever keeps it.
//
// The engine keeps views, not copies, of the titles its aircraft fly and of
// the liveries it remembers by hex id: they live only while a traffic run
// goes. So the tables are emptied only when no run holds such a view: at
// start-up, before the run, after the end of the previous run has emptied
// the engine. The holder answers through titleViewsHeld, and emptying the
// tables while it answers true is a fault that debug builds stop at.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "liveries/livery_data.h"
#include "refdata/code_table.h"
#include "refdata/fnv_hash.h"

namespace qvl {

// FNV-1a over an id's two bytes, low byte first.
struct CodeIdHash {
    std::size_t operator()(CodeId id) const noexcept {
        std::uint64_t hash = 14695981039346656037ULL;
        for (const unsigned byte : {id & 0xFFU, (id >> 8U) & 0xFFU}) {
            hash ^= byte;
            hash *= 1099511628211ULL;
        }
        return static_cast<std::size_t>(hash);
    }
};

template <typename Value>
using CodeIdMap = std::unordered_map<CodeId, Value, CodeIdHash>;

struct LiveryEntry {
    std::string title;
    std::uint8_t cargo = 0;
};

// Airline (real or combined) -> model -> its liveries, in livery order.
using AirlineModelMap = CodeIdMap<CodeIdMap<std::vector<LiveryEntry>>>;
// Views of titles owned by the airline-model map.
using TitleList = std::vector<std::string_view>;
using ModelTitleMap = CodeIdMap<TitleList>;
// [kPaxIndex] and [kCargoIndex]: airline -> model -> titles in ascending order.
using LiveryCatalogue = std::array<CodeIdMap<ModelTitleMap>, 2>;
inline constexpr std::size_t kPaxIndex = 0;
inline constexpr std::size_t kCargoIndex = 1;

// The registration-code tables, filled from the liveries' own registrations
// and the registration-code files.
using RegcodeMap = std::unordered_map<std::string, std::string_view, Fnv1aHash, std::equal_to<>>;
// Keyed by whole titles, which the matcher looks up by the thousand: hashed
// by the standard library's hash, which takes eight bytes at a step.
using InlineRegcodeMap = std::unordered_map<std::string_view, std::string>;
using SpecialRegcodeSet = std::set<std::string, std::less<>>;
using ReservedTitleList = std::vector<std::string_view>;

// The reserved titles as a hash set, so that a draw among many candidates
// does not search the list once per candidate. Built by the matcher from
// the list when the list has grown since.
struct ReservedTitleIndex {
    std::unordered_set<std::string_view, Fnv1aHash, std::equal_to<>> titles;
    std::size_t indexedCount = 0;  // the list's length when it was built
};

// The titles of one catalogue or model-table list that carry their own
// registration, with it, in list order: what the matcher's prefix searches
// walk. Kept per list (by its address; the lists never move once built) so
// that a long list is looked up in the in-line registrations once, not at
// every search; dropped whole when the in-line registrations change size,
// and emptied with the tables.
struct RegisteredTitle {
    std::string_view title;
    std::string_view registration;
};
struct RegisteredTitleCache {
    std::unordered_map<const TitleList*, std::vector<RegisteredTitle>> lists;
    std::size_t inlineCount = 0;  // the in-line registrations' count when filled
};

// Similar models restricted to installed liveries, and the registration
// prefix groups as the matcher draws from them.
struct SimilarModelTables {
    // Model -> the other members of its similar group that have liveries.
    CodeIdMap<std::vector<CodeId>> byModel;
    // Airline -> model it has no livery of -> similar models it has liveries of.
    CodeIdMap<CodeIdMap<std::vector<CodeId>>> byAirline;
    // Prefix -> the other members of its group, filled on first ask.
    std::unordered_map<std::string, std::vector<std::string>, Fnv1aHash, std::equal_to<>> prefixGroups;
};

struct LiveryTables {
    // The liveries read back from LiveriesScanned.xml; empty once the
    // tables are built.
    LiveryList liveries;
    AirlineModelMap airlineModels;
    // Title text -> the stored title, for lookups by text.
    std::unordered_map<std::string_view, std::string_view, Fnv1aHash, std::equal_to<>> titleIndex;
    LiveryCatalogue catalogue;
    ModelTitleMap paxModels;
    ModelTitleMap cargoModels;
    // Models with liveries, ascending, per category; filled by the summary
    // of the start-up processing.
    std::vector<CodeId> lightModels;
    std::vector<CodeId> bizjetModels;
    std::vector<CodeId> rotorcraftModels;
    RegcodeMap regcodes;
    InlineRegcodeMap inlineRegcodes;
    SpecialRegcodeSet specialRegcodes;
    ReservedTitleList reservedTitles;
    SimilarModelTables similar;
    // Set once everything is built; the start-up then skips the build.
    bool catalogueBuilt = false;
    // Raised by the main window (any thread) for the run thread to honour.
    std::atomic<bool> clearRequested{false};
    // Lines for output/info/OfflineRegcodes.txt: the scan's readers of the
    // don't-use titles add theirs first, the registration-code merge adds its
    // own and then writes them all. Not emptied by gf_clearLiveryTables: the
    // lines of a scan that runs before the next build belong in its file.
    std::vector<std::string> regcodeResults;
    ReservedTitleIndex reservedIndex;
    RegisteredTitleCache registeredTitles;
    // Installed by whoever holds views of the titles beyond one call (the
    // engine's livery service); true while any such view is held.
    std::function<bool()> titleViewsHeld;

    // Everything empty (the registration-code results too) and both flags down.
    void reset();
};

// Empties every table, views first and the airline-model map last. Run
// thread only (or while no other thread reads the tables).
void gf_clearLiveryTables(LiveryTables& tables);

// From the main window, while the run thread may still be matching: asks
// for the tables to be emptied before the next build.
void gf_requestLiveryTablesClear(LiveryTables& tables);

// The start-up processing calls this before its first step: when a clear
// was asked for, empties the tables, lowers the catalogue-built flag and
// returns true.
bool honourLiveryTablesClearRequest(LiveryTables& tables);

// True when the airline has liveries of the model.
bool gf_hasLiveriesFor(const LiveryTables& tables, CodeId airlineId, CodeId modelId);

// The stored title equal to the text; empty when no livery has it.
std::string_view lf_findLiveryTitle(const LiveryTables& tables, std::string_view title);

// A random model of the category's list (the first with RANDOM off); 0 when
// the list is empty.
CodeId lf_randomLightModel(const LiveryTables& tables);
CodeId lf_randomBizjetModel(const LiveryTables& tables);
CodeId lf_randomRotorcraftModel(const LiveryTables& tables);

// The builders, in this order. The list must be in livery order.
void lf_buildAirlineModelMap(const LiveryList& liveries, LiveryTables& tables);
void lf_buildCatalogue(LiveryTables& tables);
void lf_buildModelTables(LiveryTables& tables);

// The airline id under which a livery with a second airline is filed: the
// code of its airline followed by the code of its second airline (DLH, CLH:
// DLHCLH), interned.
CodeId combinedAirlineId(CodeId airlineId, CodeId secondAirlineId);

}  // namespace qvl
