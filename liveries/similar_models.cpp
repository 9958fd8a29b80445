#include "liveries/similar_models.h"

#include <fmt/format.h>

#include <random>
#include <set>
#include <utility>

#include "core/log.h"
#include "core/random.h"
#include "core/settings.h"
#include "core/strings.h"
#include "refdata/dbase.h"

namespace qvl {
namespace {

bool hasModelLiveries(const LiveryTables& tables, CodeId model) {
    return tables.paxModels.contains(model) || tables.cargoModels.contains(model);
}

// "member,fellow,fellow": a member of a group followed by the fellows that
// have liveries; members without any such fellow are left out. Ordered
// byte-wise, so a model in several groups takes its fellows from the text
// that sorts first.
std::set<std::string> similarTexts(const LiveryTables& tables) {
    std::set<std::string> texts;
    for (const auto& group : dbaseTables().similarGroups) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            std::string text = group[i];
            for (std::size_t j = 0; j < group.size(); ++j) {
                if (j != i && hasModelLiveries(tables, gf_modelId(group[j]))) {
                    text += ',';
                    text += group[j];
                }
            }
            if (text.find(',') != std::string::npos) texts.insert(std::move(text));
        }
    }
    return texts;
}

void fillByModel(LiveryTables& tables) {
    for (const std::string& text : similarTexts(tables)) {
        const auto pieces = lf_splitTrimmed(text, ',', EmptyPieces::keep);
        std::vector<CodeId> fellows;
        fellows.reserve(pieces.size() - 1);
        for (std::size_t i = 1; i < pieces.size(); ++i) fellows.push_back(gf_modelId(pieces[i]));
        tables.similar.byModel.try_emplace(gf_modelId(pieces.front()), std::move(fellows));
    }
}

// For each airline with liveries: the models it lacks, each with the similar
// models it has.
void fillByAirline(LiveryTables& tables) {
    std::set<CodeId> airlines;
    for (const auto& [airline, models] : tables.airlineModels) airlines.insert(airline);
    for (const CodeId airline : airlines) {
        const auto& models = tables.airlineModels.at(airline);
        CodeIdMap<std::vector<CodeId>> lacking;
        for (const auto& [model, fellows] : tables.similar.byModel) {
            if (models.contains(model)) continue;
            std::vector<CodeId> kept;
            for (const CodeId fellow : fellows) {
                if (models.contains(fellow)) kept.push_back(fellow);
            }
            if (!kept.empty()) lacking.try_emplace(model, std::move(kept));
        }
        if (!lacking.empty()) tables.similar.byAirline.try_emplace(airline, std::move(lacking));
    }
}

void shuffleInPlace(std::vector<std::string>& list) {
    auto& engine = randomEngine();
    for (std::size_t i = 1; i < list.size(); ++i) {
        const std::size_t j = std::uniform_int_distribution<std::size_t>(0, i)(engine);
        if (j != i) std::swap(list[i], list[j]);
    }
}

}  // namespace

void gf_readSimilarTypes(LiveryTables& tables) {
    fillByModel(tables);
    fillByAirline(tables);
    gf_log(fmt::format("{:5} similar model definitions", tables.similar.byModel.size()));
}

const std::vector<std::string>& gf_prefixGroup(LiveryTables& tables, std::string_view prefix) {
    static const std::vector<std::string> kNoFellows;
    auto& lists = tables.similar.prefixGroups;
    auto found = lists.find(prefix);
    if (found == lists.end()) {
        // Only prefixes of the database get a stored list, so registrations
        // from the traffic feed never grow the table.
        const DbaseTables& dbase = dbaseTables();
        if (!dbase.prefixMap.contains(prefix)) return kNoFellows;
        found = lists.try_emplace(std::string(prefix), dbase.prefixPeers(prefix)).first;
    }
    std::vector<std::string>& list = found->second;
    if (RANDOM.value() && list.size() >= 2) shuffleInPlace(list);
    return list;
}

}  // namespace qvl
