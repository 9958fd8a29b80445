#include "liveries/scanned_processing.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "core/log.h"
#include "core/parameters.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/user_error.h"
#include "liveries/liveries_file.h"
#include "liveries/regcode_sources.h"
#include "liveries/similar_models.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

// Room for the registration codes of the shipped file, the users' files and
// the liveries' own, kept sparse so that lookups stay short.
constexpr std::size_t kRegcodeReserve = 36000;
constexpr float kRegcodeMaxLoadFactor = 0.7F;
constexpr std::size_t kPaxModelReserve = 324;
constexpr std::size_t kCargoModelReserve = 75;
constexpr std::size_t kCodesPerLine = 20;

// The category setting whose aircraft need liveries of their own, and what
// the user is told when there are none.
struct CategorySetting {
    BoolControlParameter* setting = nullptr;
    std::string_view missingWhat;
};

CategorySetting categorySetting(AircraftCategory category) {
    switch (category) {
        case AircraftCategory::Light: return {.setting = &LIGHT_AIRCRAFT, .missingWhat = "light aircraft"};
        case AircraftCategory::HighPerf: return {.setting = &HIGH_PERF_AIRCRAFT, .missingWhat = "High Perf aircraft"};
        case AircraftCategory::Rotorcraft: return {.setting = &HELICOPTERS, .missingWhat = "Helicopters"};
        default: return {};
    }
}

CategoryModelList modelListOf(AircraftCategory category) {
    switch (category) {
        case AircraftCategory::Light: return CategoryModelList::light;
        case AircraftCategory::Buzjets: return CategoryModelList::bizjet;
        case AircraftCategory::Rotorcraft: return CategoryModelList::rotorcraft;
        default: return CategoryModelList::none;
    }
}

std::vector<CodeId>* listFor(LiveryTables& tables, CategoryModelList list) {
    switch (list) {
        case CategoryModelList::light: return &tables.lightModels;
        case CategoryModelList::bizjet: return &tables.bizjetModels;
        case CategoryModelList::rotorcraft: return &tables.rotorcraftModels;
        case CategoryModelList::none: break;
    }
    return nullptr;
}

struct CategoryCount {
    std::size_t pax = 0;
    std::size_t cargo = 0;
    std::set<CodeId> models;
};

void countModels(const ModelTitleMap& table, AircraftCategory category, std::size_t& titles, std::set<CodeId>& models) {
    for (const auto& [model, list] : table) {
        if (gf_categoryOfModelId(model) != category) continue;
        titles += list.size();
        models.insert(model);
    }
}

CategoryCount countCategory(const LiveryTables& tables, AircraftCategory category) {
    CategoryCount count;
    countModels(tables.paxModels, category, count.pax, count.models);
    countModels(tables.cargoModels, category, count.cargo, count.models);
    return count;
}

// No livery of the category: its aircraft cannot be shown, so the setting
// goes off (and stays off in parameters.xml) and its check box is disabled.
void switchOffCategory(const CategorySetting& category, Status& status) {
    if (category.setting == nullptr) return;
    BoolControlParameter& setting = *category.setting;
    if (setting.value()) {
        setting.set(false);
        gf_saveBoolParameter(setting);
        gf_log(fmt::format("{} temporarily switched off because you do not have {} installed", setting.key(),
                           category.missingWhat));
    }
    status.controlUsable(setting, false);
}

void logBuildCounts(const LiveryTables& tables) {
    gf_log(fmt::format("{:5} airlines, {} pax aircraft models and {} cargo aircraft models",
                       tables.airlineModels.size(), tables.paxModels.size(), tables.cargoModels.size()));
}

void releaseLiveryList(LiveryTables& tables) { LiveryList().swap(tables.liveries); }

// "  B738,B739,A320": the models' codes, twenty to a line.
void logCodeLines(const std::vector<CodeId>& models) {
    std::string line;
    std::size_t inLine = 0;
    for (const CodeId model : models) {
        line += inLine == 0 ? "  " : ",";
        line += modelCodeOf(model);
        if (++inLine == kCodesPerLine) {
            gf_log(line);
            line.clear();
            inLine = 0;
        }
    }
    if (inLine > 0) gf_log(line);
}

// A file that cannot be used would stop every start until the user acts:
// as with a missing file, the next start scans the liveries and writes it
// anew.
void switchLiveriesScanOn(Status& status) {
    if (SCAN_LIVERIES.value()) return;
    gf_log(fmt::format("{} switched on: the next start scans the liveries", SCAN_LIVERIES.key()));
    SCAN_LIVERIES.set(true);
    gf_saveBoolParameter(SCAN_LIVERIES);
    status.settingChanged(SCAN_LIVERIES);
}

}  // namespace

void gf_processScannedLiveries(LiveryTables& tables, Status& status, const std::filesystem::path& file) {
    (void)honourLiveryTablesClearRequest(tables);
    if (tables.catalogueBuilt) {
        gf_log("Processing scanned liveries skipped; already done in previous start-up");
        releaseLiveryList(tables);
        return;
    }
    // A build that failed half-way leaves its tables behind; the builders
    // never overwrite a key, so building over them would keep stale titles.
    gf_clearLiveryTables(tables);
    tables.cargoModels.reserve(kCargoModelReserve);
    tables.paxModels.reserve(kPaxModelReserve);
    tables.regcodes.max_load_factor(kRegcodeMaxLoadFactor);
    tables.regcodes.reserve(kRegcodeReserve);

    try {
        lf_readLiveriesScanned(tables.liveries, file);
    } catch (const UserErrorException&) {
        switchLiveriesScanOn(status);
        throw;
    }
    status.showCount(StatusCount::scannedLiveries, tables.liveries.size());
    status.statusChanged();

    lf_buildAirlineModelMap(tables.liveries, tables);
    lf_buildCatalogue(tables);
    lf_processInlineRegcodes(tables);
    lf_processOfflineRegcodes(tables);
    gf_log(fmt::format("{:5} registration codes", tables.regcodes.size()));
    lf_buildModelTables(tables);
    logBuildCounts(tables);
    gf_readSimilarTypes(tables);

    gf_log(" ");
    for (int category = 0; category < kAircraftCategoryCount; ++category) {
        lf_logCategorySummary(tables, static_cast<AircraftCategory>(category), status);
    }
    lf_logGenericLiveries(tables);

    tables.catalogueBuilt = true;
    status.statusChanged();
    releaseLiveryList(tables);
}

void lf_logCategorySummary(LiveryTables& tables, AircraftCategory category, Status& status) {
    const CategoryCount count = countCategory(tables, category);
    const CategorySetting setting = categorySetting(category);
    const std::string_view name = gf_categoryName(category);
    if (count.pax == 0 && count.cargo == 0) {
        gf_log(fmt::format("Category {}: No livery found", name));
        switchOffCategory(setting, status);
        return;
    }
    const std::string cargoTail =
        count.cargo > 0 ? fmt::format(" and {} cargo liverie{}", count.cargo, gf_pluralSuffixSize(count.cargo))
                        : std::string{};
    gf_log(fmt::format("Category {}: {} pax liverie{}{}", name, count.pax, gf_pluralSuffixSize(count.pax), cargoTail));
    lf_logModelCodes(tables, modelListOf(category), {count.models.begin(), count.models.end()});
    if (setting.setting != nullptr) status.controlUsable(*setting.setting, true);
}

void lf_logModelCodes(LiveryTables& tables, CategoryModelList list, const std::vector<CodeId>& models) {
    if (std::vector<CodeId>* target = listFor(tables, list))
        target->insert(target->end(), models.begin(), models.end());
    logCodeLines(models);
}

void lf_logGenericLiveries(const LiveryTables& tables) {
    // A lookup, not an intern: the summary must not add codes to the table.
    const auto fictional = airlineCodes().find(kFictionalAirline);
    const auto generic = fictional ? tables.airlineModels.find(*fictional) : tables.airlineModels.end();
    if (generic == tables.airlineModels.end()) {
        gf_log("No generic liveries");
        return;
    }
    std::vector<CodeId> models;
    models.reserve(generic->second.size());
    for (const auto& [model, entries] : generic->second) models.push_back(model);
    std::sort(models.begin(), models.end());
    gf_log(fmt::format("{} model{} have a generic livery", models.size(), gf_pluralSuffixSize(models.size())));
    logCodeLines(models);
}

}  // namespace qvl
