#include "refdata/dbase.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "core/log.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "core/xml.h"
#include "refdata/data_file.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

constexpr int kDbaseErrorCode = 61;
constexpr double kNauticalMilesPerMetre = 0.0005399568034557236;
constexpr std::size_t kRecordReserve = 65536;

// Group lists keep the positions of their empty pieces.
std::vector<std::string> splitKeepEmpty(std::string_view text) { return lf_splitTrimmed(text, ',', EmptyPieces::keep); }

// The values of a required section: every element's comma list, trimmed,
// empty pieces left out. A missing section, or one without any value, is a
// user error.
TextSet lf_readXmlSection(const pugi::xml_node root, const char* section, const char* element, const char* attribute) {
    const pugi::xml_node node = root.child(section);
    if (!node) throw UserErrorException(kDbaseErrorCode, std::string("Missing section: ") + section);
    TextSet values;
    for (const pugi::xml_node item : node.children(element)) {
        for (auto& piece : lf_splitTrimmed(item.attribute(attribute).as_string(), ',')) values.insert(std::move(piece));
    }
    if (values.empty()) {
        throw UserErrorException(
            kDbaseErrorCode, fmt::format("In XML file section [{}], element [{}], attribute [{}] is empty.", section,
                                         element, attribute));
    }
    return values;
}

void lf_toModelIdSet(const TextSet& codes, std::set<CodeId>& target) {
    target.clear();
    for (const auto& code : codes) target.insert(gf_modelId(code));
}

// Optional sections of groups (similar types, prefixes): one sorted group
// per element.
void readGroups(const pugi::xml_node root, const char* section, TextGroups& target) {
    for (const pugi::xml_node item : root.child(section).children("similar")) {
        auto group = splitKeepEmpty(item.attribute("types").as_string());
        std::sort(group.begin(), group.end());
        target.push_back(std::move(group));
    }
}

// The text "fellow,fellow,..." of a group with one place left out, read
// piece by piece (members and the commas between them) so that two of them
// compare without either being built.
class FellowsText {
public:
    FellowsText(const std::vector<std::string>& group, std::size_t self) : group_(group), self_(self) { load(); }

    [[nodiscard]] bool atEnd() const { return piece_.empty(); }
    [[nodiscard]] std::string_view piece() const { return piece_; }
    void consume(std::size_t count) {
        piece_.remove_prefix(count);
        load();
    }

private:
    // Makes piece_ the next non-empty piece; it stays empty at the end.
    void load() {
        while (piece_.empty() && next_ < group_.size()) {
            if (next_ == self_) {
                ++next_;
            } else if (commaDue_) {
                piece_ = ",";
                commaDue_ = false;
            } else {
                piece_ = group_[next_++];
                commaDue_ = true;
            }
        }
    }

    const std::vector<std::string>& group_;
    std::size_t self_;
    std::size_t next_ = 0;
    bool commaDue_ = false;
    std::string_view piece_;
};

// Byte-wise, as std::string orders the texts.
int compareFellows(FellowsText a, FellowsText b) {
    while (!a.atEnd() && !b.atEnd()) {
        const std::size_t count = std::min(a.piece().size(), b.piece().size());
        if (const int order = a.piece().substr(0, count).compare(b.piece().substr(0, count)); order != 0) return order;
        a.consume(count);
        b.consume(count);
    }
    if (a.atEnd()) return b.atEnd() ? 0 : -1;
    return 1;
}

std::size_t memberCount(const TextGroups& groups) {
    std::size_t count = 0;
    for (const auto& group : groups) count += group.size();
    return count;
}

void readPublishers(const pugi::xml_node root, DbaseTables& tables) {
    std::vector<std::string> texts;
    for (const pugi::xml_node item : root.child("publishers").children("pub")) {
        texts.emplace_back(item.attribute("names").as_string());
    }
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    for (const auto& text : texts) tables.publisherGroups.push_back(splitKeepEmpty(text));
    gf_log(fmt::format("{:5} publishers", tables.publisherGroups.size()));
}

// The table grows with the model list, so every wingspan read finds its slot.
void lf_fillHalfWingspan(DbaseTables& tables, std::string_view code, double half) {
    const CodeId id = gf_modelId(code);
    if (id >= tables.halfWingspanTable.size()) tables.halfWingspanTable.resize(std::size_t{id} + 1, 0.0);
    tables.halfWingspanTable[id] = half;
}

void readWingspans(const pugi::xml_node root, DbaseTables& tables) {
    for (const pugi::xml_node item : root.child("wingspans").children("wingspan")) {
        const std::string_view type = item.attribute("type").as_string();
        if (type.empty() || !tables.icaoModelCodes.contains(type)) {
            gf_logAttention(fmt::format("wingspan model {} is not valid, skipped", type));
            continue;
        }
        const double half = item.attribute("meters").as_double(0.0) * 0.5 * kNauticalMilesPerMetre;
        tables.wingspanByModel.try_emplace(std::string(type), half);
        tables.maxHalfWingspan = std::max(tables.maxHalfWingspan, half);
    }
    tables.halfWingspanTable.assign(std::max(kHalfWingspanSlots, modelCodes().size()), 0.0);
    for (const auto& [code, half] : tables.wingspanByModel) lf_fillHalfWingspan(tables, code, half);
}

void readFixes(const pugi::xml_node root, const DbaseTables& tables) {
    const pugi::xml_node section = root.child("fixes");
    if (!section) return;
    for (const pugi::xml_node item : section.children("fx")) {
        const std::string_view wrong = item.attribute("wro").as_string();
        const std::string_view correct = item.attribute("cor").as_string();
        if (correct.empty() || !tables.icaoModelCodes.contains(correct)) {
            gf_logAttention(fmt::format("wrong fix {} -> {}, the latter is not valid", wrong, correct));
            continue;
        }
        if (!modelCodes().addFix(wrong, correct)) {
            gf_logAttention(fmt::format("wrong part of fix: '{}', already exists, skipped", wrong));
        }
    }
    gf_log(fmt::format("{:5} fixes", modelCodes().fixCount()));
}

void lf_readThirdparties(const pugi::xml_node root, const char* section, std::vector<ThirdpartyEntry>& target,
                         const char* element) {
    for (const pugi::xml_node item : root.child(section).children(element)) {
        target.push_back(ThirdpartyEntry{.publisher = item.attribute("pub").as_string(),
                                         .airports = splitKeepEmpty(item.attribute("arpts").as_string())});
    }
}

void readRecords(const pugi::xml_node root, DbaseTables& tables) {
    tables.dbaseRecords.reserve(kRecordReserve);
    for (const pugi::xml_node item : root.child("dbase").children("d")) {
        const std::string_view registration = item.attribute("r").as_string();
        const char* airline = item.attribute("a").as_string();
        const char* model = item.attribute("m").as_string();
        // A record without a registration would be found inside every livery title.
        if (registration.empty()) {
            gf_logAttention(
                fmt::format("dbase record without registration skipped (airline '{}', model '{}')", airline, model));
            continue;
        }
        // A braced list runs in order: airline, operator, then model are interned.
        tables.dbaseRecords.push_back(
            DbaseRecord{.registration = std::string(registration),
                        .key = {.airlineId = gf_airlineId(airline),
                                .operatorId = gf_airlineId(item.attribute("o").as_string()),
                                .modelId = gf_modelId(model),
                                .cargo = item.attribute("c").as_bool(false) ? std::uint8_t{1} : std::uint8_t{0}}});
    }
}

// Sorted by registration, one record each. The sort is stable, so of two
// records with one registration the first in the file stays.
void lf_sortDbaseRecords(std::vector<DbaseRecord>& records) {
    std::stable_sort(records.begin(), records.end(),
                     [](const DbaseRecord& a, const DbaseRecord& b) { return a.registration < b.registration; });
    const auto end = std::unique(records.begin(), records.end(), [](const DbaseRecord& a, const DbaseRecord& b) {
        return a.registration == b.registration;
    });
    records.erase(end, records.end());
    records.shrink_to_fit();
}

void readModelSections(const pugi::xml_node root, DbaseTables& tables) {
    tables.icaoModelCodes = lf_readXmlSection(root, "aircrafts", "aircraft", "types");
    gf_log(fmt::format("\n{:5} ICAO model codes", tables.icaoModelCodes.size()));
    const TextSet cargoTypes = lf_readXmlSection(root, "cargo_types", "cargo_type", "types");

    // The database's codes get their ids first and in a fixed order, so that
    // the ids depend only on the database's content.
    gf_modelId("");
    for (const auto& code : tables.icaoModelCodes) gf_modelId(code);
    modelCodes().setLoaded(true);
    for (const auto& code : cargoTypes) gf_modelId(code);

    const TextSet heavy = lf_readXmlSection(root, "heavy", "hvy", "types");
    const TextSet large = lf_readXmlSection(root, "large", "lar", "types");
    const TextSet buzjet = lf_readXmlSection(root, "buzjet", "bzj", "types");
    const TextSet highPerf = lf_readXmlSection(root, "high_performance", "hpf", "types");
    const TextSet rotorcraft = lf_readXmlSection(root, "rotorcraft", "rot", "types");
    lf_toModelIdSet(heavy, tables.heavyModelIds);
    lf_toModelIdSet(large, tables.largeModelIds);
    lf_toModelIdSet(buzjet, tables.buzjetModelIds);
    lf_toModelIdSet(highPerf, tables.highPerfModelIds);
    lf_toModelIdSet(rotorcraft, tables.rotorcraftModelIds);
}

void readGroupSections(const pugi::xml_node root, DbaseTables& tables) {
    readGroups(root, "similar_types", tables.similarGroups);
    readGroups(root, "prefixes", tables.prefixGroups);
    gf_logLineAndFlush(fmt::format("{:5} prefixes", tables.prefixGroups.size()));
    tables.prefixMap = lf_buildPrefixMap(tables.prefixGroups);
}

void readAirlineSections(const pugi::xml_node root, DbaseTables& tables) {
    tables.icaoAirlineCodes = lf_readXmlSection(root, "ICAO_airlines", "ICAO", "codes");
    gf_log(fmt::format("{:5} ICAO airline codes", tables.icaoAirlineCodes.size()));
    const TextSet cargoOperators = lf_readXmlSection(root, "cargo_operators", "ICAO", "codes");
    gf_log(fmt::format("{:5} cargo operators", cargoOperators.size()));

    gf_airlineId("");
    for (const auto& code : tables.icaoAirlineCodes) gf_airlineId(code);
    for (const auto& code : cargoOperators) gf_airlineId(code);
}

void readAirportSections(const pugi::xml_node root, DbaseTables& tables) {
    tables.simaddonAirports20 = lf_readXmlSection(root, "simaddons20", "simaddon20", "arpts");
    tables.simaddonAirports24 = lf_readXmlSection(root, "simaddons24", "simaddon24", "arpts");
    gf_log(fmt::format("{} simaddons24", tables.simaddonAirports24.size()));
    lf_readThirdparties(root, "thirdparties20", tables.thirdparties20, "thirdpartie20");
    lf_readThirdparties(root, "thirdparties24", tables.thirdparties24, "thirdpartie24");
}

}  // namespace

PrefixMap lf_buildPrefixMap(const TextGroups& groups) {
    PrefixMap map;
    map.reserve(memberCount(groups));
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const auto& group = groups[g];
        // A lone member has no fellows.
        if (group.size() < 2) continue;
        for (std::size_t i = 0; i < group.size(); ++i) {
            // Leaving out any one of equal neighbours leaves the same fellows.
            if (i > 0 && group[i] == group[i - 1]) continue;
            const PrefixPlace place{.group = g, .self = i};
            const auto [it, inserted] = map.try_emplace(group[i], place);
            if (inserted) continue;
            const PrefixPlace& kept = it->second;
            if (compareFellows(FellowsText(group, i), FellowsText(groups[kept.group], kept.self)) < 0) {
                it->second = place;
            }
        }
    }
    return map;
}

std::vector<std::string> DbaseTables::prefixPeers(std::string_view prefix) const {
    const auto it = prefixMap.find(prefix);
    if (it == prefixMap.end()) return {};
    const auto& group = prefixGroups[it->second.group];
    std::vector<std::string> peers;
    peers.reserve(group.size() - 1);
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (i != it->second.self) peers.push_back(group[i]);
    }
    return peers;
}

DbaseTables& dbaseTablesForWriting() {
    static DbaseTables tables;
    return tables;
}

const DbaseTables& dbaseTables() { return dbaseTablesForWriting(); }

bool gf_readDbase() {
    if (!fs::exists(kDbaseEnc)) {
        throw std::runtime_error(fmt::format("{} not available", gf_pathToUtf8(kDbaseEnc)));
    }
    // The plain file goes on every way out, a user error included.
    const PlainFileGuard plainFile(kDbaseXml);
    if (!gf_streamDecrypt(kDbaseEnc, kDbaseXml)) {
        throw std::runtime_error(fmt::format("{} stream decrypt failed", gf_pathToUtf8(kDbaseEnc)));
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = loadXmlFile(document, kDbaseXml);
    if (!parsed) {
        gf_logAttention(fmt::format("'{}' not read because of {}", gf_pathToUtf8(kDbaseXml), parsed.description()));
        return false;
    }
    const pugi::xml_node root = document.child("root");
    if (!root) throw UserErrorException(kDbaseErrorCode, "XML root missing: root");
    DbaseTables& tables = dbaseTablesForWriting();
    readModelSections(root, tables);
    readGroupSections(root, tables);
    readAirlineSections(root, tables);
    readPublishers(root, tables);
    readWingspans(root, tables);
    readFixes(root, tables);
    readAirportSections(root, tables);
    readRecords(root, tables);
    lf_sortDbaseRecords(tables.dbaseRecords);
    gf_log(fmt::format("{:5} dbase records read", tables.dbaseRecords.size()));
    gf_flushLog();
    return true;
}

void resetDbaseTables() {
    dbaseTablesForWriting() = DbaseTables{};
    modelCodes().clear();
    airlineCodes().clear();
}

}  // namespace qvl
