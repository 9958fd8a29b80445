#include "refdata/lookups.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

#include "core/log.h"
#include "core/strings.h"
#include "core/text_file.h"

namespace qvl {

namespace {

bool containsFolded(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return true;
    const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                [](char a, char b) { return lf_toUpperChar(a) == lf_toUpperChar(b); });
    return it != haystack.end();
}

}  // namespace

AircraftCategory gf_categoryOfModelId(CodeId id) {
    const DbaseTables& tables = dbaseTables();
    if (tables.largeModelIds.contains(id)) return AircraftCategory::Large;
    if (tables.heavyModelIds.contains(id)) return AircraftCategory::Heavy;
    if (tables.buzjetModelIds.contains(id)) return AircraftCategory::Buzjets;
    if (tables.rotorcraftModelIds.contains(id)) return AircraftCategory::Rotorcraft;
    if (tables.highPerfModelIds.contains(id)) return AircraftCategory::HighPerf;
    return AircraftCategory::Light;
}

AircraftCategory gf_categoryOfModel(std::string_view code) { return gf_categoryOfModelId(gf_modelId(code)); }

bool gf_isKnownModel(std::string_view code) { return !code.empty() && dbaseTables().icaoModelCodes.contains(code); }

bool gf_isKnownAirline(std::string_view code) { return !code.empty() && dbaseTables().icaoAirlineCodes.contains(code); }

double gf_halfWingspan(CodeId id) {
    const auto& table = dbaseTables().halfWingspanTable;
    if (id < table.size()) return table[id];
    gf_log(fmt::format("hwsp: {} what: {}", id, "invalid array<T, N> subscript"));
    gf_flushLog();
    // Nothing is known of the model: as wide as the widest one known keeps
    // the engine careful without making it collide with everything around.
    return maxHalfWingspan();
}

double maxHalfWingspan() { return dbaseTables().maxHalfWingspan; }

std::vector<std::string> gf_registrationVariants(std::string_view registration) {
    std::vector<std::string> variants;
    if (registration.size() >= 5 && registration.front() != 'N' && registration.find('-') == std::string_view::npos) {
        variants.reserve(3);
        variants.push_back(fmt::format("{}-{}", registration.substr(0, 2), registration.substr(2)));
        variants.push_back(fmt::format("{}-{}", registration.substr(0, 1), registration.substr(1)));
    }
    variants.emplace_back(registration);
    return variants;
}

std::optional<DbaseIds> gf_findDbaseRecord(std::string_view registration) {
    if (registration.empty()) return std::nullopt;
    const auto& records = dbaseTables().dbaseRecords;
    for (const auto& variant : gf_registrationVariants(registration)) {
        const auto it = std::lower_bound(records.begin(), records.end(), variant,
                                         [](const DbaseRecord& r, const std::string& v) { return r.registration < v; });
        if (it != records.end() && it->registration == variant) return DbaseIds{.key = it->key, .found = true};
    }
    return std::nullopt;
}

std::optional<std::string> gf_findShortRegistrationIn(std::string_view text) {
    for (const auto& record : dbaseTables().dbaseRecords) {
        if (record.registration.size() < 6 && text.find(record.registration) != std::string_view::npos) {
            return record.registration;
        }
    }
    return std::nullopt;
}

bool gf_containsNoCase(const std::filesystem::path& path, std::string_view text) {
    return containsFolded(gf_pathToUtf8(path), text);
}

std::optional<std::string> gf_publisherFromPath(const std::filesystem::path& path) {
    const std::string pathText = gf_pathToUtf8(path);
    for (const auto& group : dbaseTables().publisherGroups) {
        for (const auto& name : group) {
            // An empty name would be found in every path and make the group
            // the publisher of every airport, so it never matches.
            if (!name.empty() && containsFolded(pathText, name)) return group.front();
        }
    }
    return std::nullopt;
}

bool gf_parseCodeNumber(std::string_view publisher, const FixedCode4& code, std::int32_t& number,
                        std::string_view entry) {
    const std::string_view codeText = gf_fixedCodeView(code);
    if (entry.size() < 4 || !entry.starts_with(codeText)) return false;
    const std::string_view rest = entry.substr(4);
    std::int32_t value = 0;
    if (std::from_chars(rest.data(), rest.data() + rest.size(), value).ec == std::errc{}) {
        number = value;
    } else {
        gf_logAttention(fmt::format("{} {} {} {}", publisher, codeText, entry, "invalid number"));
    }
    return true;
}

}  // namespace qvl
