#include "liveries/aircraft_cfg.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <exception>
#include <system_error>
#include <utility>

#include "core/log.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "liveries/key_line.h"
#include "refdata/code_table.h"
#include "refdata/dbase.h"
#include "refdata/default_sim_aircraft.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

// Most aircraft.cfg files hold far fewer lines; one reservation covers them.
constexpr std::size_t kExpectedLineCount = 4096;
constexpr std::size_t kMaxModelCodeSize = 4;
// "..\" before the simulator aircraft's folder name in base_container.
constexpr std::size_t kRelativePrefixSize = 3;
// A '[' this early in a line opens another section ([General], ...).
constexpr std::size_t kSectionBracketReach = 6;

// The first `count` bytes, shortened so that no UTF-8 character is cut.
std::string_view headOf(std::string_view text, std::size_t count) {
    if (text.size() <= count) return text;
    while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0U) == 0x80U) --count;
    return text.substr(0, count);
}

std::string upperCopy(std::string_view text) {
    std::string upper(text);
    toUpperInPlace(upper);
    return upper;
}

std::string lowerCopy(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

// The packages of two user aircraft carry an aircraft.cfg without a type
// designator; they are no AI packages and are skipped without a report.
// Windows does not tell file names by case, so neither does this test.
bool isUserAircraftPackage(const fs::path& cfgPath) {
    const std::string text = lowerCopy(gf_pathToUtf8(cfgPath));
    return text.find("pmdg-aircraft-7") != std::string::npos || text.find("fnx-aircraft-3") != std::string::npos;
}

// A header's number text as a signed 32-bit number.
std::optional<std::int32_t> sectionNumber(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The model code a type code gives: itself when the database knows it, its
// fix when the database has one, else empty with the code listed as invalid.
std::string checkedModelCode(LiveryScanState& state, const std::string& code, const fs::path& cfgPath) {
    if (dbaseTables().icaoModelCodes.contains(code)) return code;
    const std::string pathText = gf_pathToUtf8(cfgPath);
    if (std::optional<std::string> fix = lf_modelFix(code)) {
        lf_addModelFix(state, fmt::format("Model fix: {} found in {} changed into {}", code, pathText, *fix));
        return std::move(*fix);
    }
    lf_addInvalidModelCode(state, code, pathText);
    return {};
}

// Without a type designator: the simulator aircraft the liveries are built on.
std::string lf_applyModelFixes(LiveryScanState& state, const fs::path& cfgPath, std::span<const std::string> lines) {
    for (const std::string& line : lines) {
        const std::string code = lf_matchBaseContainer(line);
        if (!code.empty()) return checkedModelCode(state, code, cfgPath);
    }
    if (!isUserAircraftPackage(cfgPath)) {
        lf_addInvalidCfgFile(state,
                             "Line icao_type_designator= is missing in [General] section of " + gf_pathToUtf8(cfgPath));
    }
    return {};
}

bool opensOtherSection(std::string_view line) {
    return line.substr(0, kSectionBracketReach).find('[') != std::string_view::npos;
}

bool isLargerThanLimit(const fs::path& cfgPath) {
    std::error_code error;
    // A size that cannot be taken (a folder) is the reader's to report.
    const std::uintmax_t size = fs::file_size(cfgPath, error);
    return !error && size > kMaxAircraftCfgSize;
}

void listUnreadable(LiveryScanState& state, const fs::path& cfgPath, std::string_view reason) {
    lf_addInvalidCfgFile(state, fmt::format("{} could not be read: {}", gf_pathToUtf8(cfgPath), reason));
}

std::list<LiveryData> searchFile(LiveryScanState& state, std::int16_t folderIndex, const fs::path& cfgPath) {
    std::error_code error;
    if (!fs::exists(cfgPath, error)) return {};
    const std::optional<std::vector<std::string>> lines = readAircraftCfgLines(state, cfgPath);
    if (!lines || !lf_checkFltsimNumber(state, *lines, cfgPath)) return {};
    const std::string model = lf_modelFromAircraftCfg(state, *lines, cfgPath);
    if (model.empty()) return {};
    const CfgFileSource source{.folderIndex = folderIndex, .cfgPath = cfgPath, .aircraftFolder = cfgPath.parent_path()};
    return lf_readAircraftCfg(state, source, *lines, model);
}

}  // namespace

// The count of running scan tasks is the worker pool's: it raises and lowers
// it around this call on every way out, so nothing here touches it.
std::list<LiveryData> lf_searchLiveriesinFile(LiveryScanState& state, std::int16_t folderIndex,
                                              const fs::path& cfgPath) {
    std::string reason;
    try {
        return searchFile(state, folderIndex, cfgPath);
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "unknown error";
    }
    gf_log(fmt::format("! Exception in lf_searchLiveriesinFile {}: {}", gf_pathToUtf8(cfgPath), reason));
    listUnreadable(state, cfgPath, reason);
    return {};
}

std::optional<std::vector<std::string>> readAircraftCfgLines(LiveryScanState& state, const fs::path& cfgPath) {
    const std::string pathText = gf_pathToUtf8(cfgPath);
    if (isLargerThanLimit(cfgPath)) {
        lf_addInvalidCfgFile(state, fmt::format("{} is larger than {} MB, not read", pathText,
                                                kMaxAircraftCfgSize / (std::uintmax_t{1024} * 1024)));
        return std::nullopt;
    }
    const Charset charset = gf_detectCharset(cfgPath);
    if (charset == Charset::none_found) {
        gf_log(fmt::format("! No text encoding detected for {}", pathText));
        listUnreadable(state, cfgPath, "it cannot be opened");
        return std::nullopt;
    }
    std::vector<std::string> lines;
    lines.reserve(kExpectedLineCount);
    if (!gf_readTextFileWithCharset(charset, cfgPath, lines)) {
        gf_log(fmt::format("! Failed reading {}", pathText));
        listUnreadable(state, cfgPath, fmt::format("reading it as {} text failed", gf_charsetName(charset)));
        return std::nullopt;
    }
    return lines;
}

std::string lf_matchFltsimHeader(std::string_view line) {
    if (line.starts_with("//")) return {};
    if (const auto digits = fltsimHeaderDigits(line)) return std::string(*digits);
    if (line.find("[fltsim.") != std::string_view::npos || line.find("[FLTSIM.") != std::string_view::npos) {
        return std::to_string(kMaxFltsimNumber);
    }
    return {};
}

bool lf_checkFltsimNumber(LiveryScanState& state, std::span<const std::string> lines, const fs::path& cfgPath) {
    bool anyHeader = false;
    bool aboveLimit = false;
    for (const std::string& line : lines) {
        const std::string numberText = lf_matchFltsimHeader(line);
        if (numberText.empty()) continue;
        const std::optional<std::int32_t> number = sectionNumber(numberText);
        if (!number) {
            gf_logAttention(fmt::format("fltsim num {} incorrect", line));
            return false;
        }
        anyHeader = true;
        // As unsigned, a negative number counts as too high as well.
        aboveLimit = aboveLimit || static_cast<std::uint32_t>(*number) > kMaxFltsimNumber;
    }
    if (!anyHeader) {
        state.noFltsimFiles.add(gf_pathToUtf8(cfgPath));
        return true;
    }
    if (aboveLimit) {
        lf_addInvalidCfgFile(state, fmt::format("{} contains a [fltsim.x] section with a number < 0 or > {}",
                                                gf_pathToUtf8(cfgPath), kMaxFltsimNumber));
        return false;
    }
    return true;
}

std::string lf_modelFromAircraftCfg(LiveryScanState& state, std::span<const std::string> lines,
                                    const fs::path& cfgPath) {
    for (const std::string& line : lines) {
        const std::string code = lf_matchIcaoTypeDesignator(line);
        if (!code.empty()) return checkedModelCode(state, code, cfgPath);
    }
    return lf_applyModelFixes(state, cfgPath, lines);
}

std::string lf_matchIcaoTypeDesignator(std::string_view line) {
    const auto value = keyLineValue(line, "icao_type_designator");
    if (!value) return {};
    return upperCopy(headOf(applyQuoteRule(*value), kMaxModelCodeSize));
}

std::string lf_matchBaseContainer(std::string_view line) {
    const auto value = keyLineValue(line, "base_container");
    if (!value) return {};
    const std::string_view container = applyQuoteRule(*value);
    if (container.size() < kRelativePrefixSize + 1) return {};
    const auto model = defaultSimAircraftModel(container.substr(kRelativePrefixSize));
    return model ? upperCopy(*model) : std::string{};
}

std::list<LiveryData> lf_readAircraftCfg(LiveryScanState& state, const CfgFileSource& source,
                                         std::span<const std::string> lines, std::string_view modelCode) {
    std::list<LiveryData> liveries;
    // A section's lines follow each other in the file: the header, then
    // every line up to the next header or other section.
    std::optional<std::size_t> sectionStart;
    auto processSectionUpTo = [&](std::size_t end) {
        if (!sectionStart) return;
        const auto section = lines.subspan(*sectionStart, end - *sectionStart);
        if (auto livery = lf_procesFltSimSection(state, source, section, modelCode)) {
            liveries.push_back(std::move(*livery));
        }
        sectionStart.reset();
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lf_matchFltsimHeader(lines[i]).empty()) {
            processSectionUpTo(i);
            sectionStart = i;
        } else if (opensOtherSection(lines[i])) {
            processSectionUpTo(i);
        }
    }
    processSectionUpTo(lines.size());
    return liveries;
}

}  // namespace qvl
