#include "liveries/aircraft_cfg.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <exception>
#include <system_error>
#include <utility>

#include "core/strings.h"
#include "core/text_file.h"
#include "liveries/key_line.h"
#include "platform/sys/file_identity.h"
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
std::string checkedModelCode(ScanProblemLines& problems, const std::string& code, const fs::path& cfgPath) {
    if (dbaseTables().icaoModelCodes.contains(code)) return code;
    const std::string pathText = gf_pathToUtf8(cfgPath);
    if (std::optional<std::string> fix = lf_modelFix(code)) {
        lf_addModelFix(problems, fmt::format("Model fix: {} found in {} changed into {}", code, pathText, *fix));
        return std::move(*fix);
    }
    lf_addInvalidModelCode(problems, code, pathText);
    return {};
}

// Without a type designator: the simulator aircraft the liveries are built on.
std::string lf_applyModelFixes(ScanProblemLines& problems, const fs::path& cfgPath,
                               std::span<const std::string> lines) {
    for (const std::string& line : lines) {
        const std::string code = lf_matchBaseContainer(line);
        if (!code.empty()) return checkedModelCode(problems, code, cfgPath);
    }
    if (!isUserAircraftPackage(cfgPath)) {
        lf_addInvalidCfgFile(problems,
                             "Line icao_type_designator= is missing in [General] section of " + gf_pathToUtf8(cfgPath));
    }
    return {};
}

bool opensOtherSection(std::string_view line) {
    return line.substr(0, kSectionBracketReach).find('[') != std::string_view::npos;
}

enum class MissingCfgFile : std::uint8_t { listed, passedOver };

// The file is opened and read once: its size, its charset and its lines all
// come from that one read.
std::optional<std::vector<std::string>> readCfgLines(CfgFileFindings& findings, const fs::path& cfgPath,
                                                     MissingCfgFile missing) {
    sys::WholeFile file = sys::readWholeFile(cfgPath, kMaxAircraftCfgSize);
    if (file.error == sys::WholeFileError::missing && missing == MissingCfgFile::passedOver) return std::nullopt;
    // Only the lines about a file that cannot be read name it.
    const auto pathText = [&cfgPath] { return gf_pathToUtf8(cfgPath); };
    if (file.error == sys::WholeFileError::tooLarge) {
        lf_addInvalidCfgFile(findings.problems, fmt::format("{} is larger than {} MB, not read", pathText(),
                                                            kMaxAircraftCfgSize / (std::uintmax_t{1024} * 1024)));
        return std::nullopt;
    }
    if (file.error) {
        findings.log(fmt::format("! No text encoding detected for {}", pathText()));
        listUnreadableFile(findings, cfgPath, "it cannot be opened");
        return std::nullopt;
    }
    const Charset charset = detectCharset(file.bytes);
    auto read = decodeTextLines(charset, file.bytes, kExpectedLineCount);
    if (!read) {
        if (read.error() == TextReadError::readFailed) {
            findings.log(fmt::format("Read failed for '{}': {}", pathText(), read.errorText()));
        }
        findings.log(fmt::format("! Failed reading {}", pathText()));
        listUnreadableFile(findings, cfgPath, fmt::format("reading it as {} text failed", gf_charsetName(charset)));
        return std::nullopt;
    }
    for (std::string& note : read->notes) findings.log(std::move(note));
    return std::move(read->lines);
}

void searchFile(CfgFileFindings& findings, const ScanTaskInput& input, const std::stop_token& stop) {
    const fs::path& cfgPath = input.cfgPath;
    // A file gone since the walk found it is no problem of the package.
    const std::optional<std::vector<std::string>> lines = readCfgLines(findings, cfgPath, MissingCfgFile::passedOver);
    // The read is where a task may hang; once the pool has ended, what the
    // file says is of use to nobody.
    if (stop.stop_requested()) return;
    if (!lines || !lf_checkFltsimNumber(findings, *lines, cfgPath)) return;
    const std::string model = lf_modelFromAircraftCfg(findings, *lines, cfgPath);
    if (model.empty()) return;
    const CfgFileSource source{.folderIndex = input.folderIndex,
                               .cfgPath = cfgPath,
                               .aircraftFolder = cfgPath.parent_path(),
                               .dontUseTitles = input.dontUseTitles};
    lf_readAircraftCfg(findings, source, *lines, model);
}

}  // namespace

// The count of running scan tasks is the worker pool's: it raises and lowers
// it around this call on every way out, so nothing here touches it.
CfgFileFindings lf_searchLiveriesinFile(const ScanTaskInput& input, const std::stop_token& stop) {
    CfgFileFindings findings;
    std::string reason;
    try {
        searchFile(findings, input, stop);
        return findings;
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "unknown error";
    }
    findings.log(fmt::format("! Exception in lf_searchLiveriesinFile {}: {}", gf_pathToUtf8(input.cfgPath), reason));
    listUnreadableFile(findings, input.cfgPath, reason);
    return findings;
}

void listUnreadableFile(CfgFileFindings& findings, const fs::path& cfgPath, std::string_view reason) {
    findings.candidates.clear();
    lf_addInvalidCfgFile(findings.problems, fmt::format("{} could not be read: {}", gf_pathToUtf8(cfgPath), reason));
}

std::optional<std::vector<std::string>> readAircraftCfgLines(CfgFileFindings& findings, const fs::path& cfgPath) {
    return readCfgLines(findings, cfgPath, MissingCfgFile::listed);
}

std::string lf_matchFltsimHeader(std::string_view line) {
    if (line.starts_with("//")) return {};
    if (const auto digits = fltsimHeaderDigits(line)) return std::string(*digits);
    if (line.find("[fltsim.") != std::string_view::npos || line.find("[FLTSIM.") != std::string_view::npos) {
        return std::to_string(kMaxFltsimNumber);
    }
    return {};
}

bool lf_checkFltsimNumber(CfgFileFindings& findings, std::span<const std::string> lines, const fs::path& cfgPath) {
    bool anyHeader = false;
    bool aboveLimit = false;
    for (const std::string& line : lines) {
        const std::string numberText = lf_matchFltsimHeader(line);
        if (numberText.empty()) continue;
        const std::optional<std::int32_t> number = sectionNumber(numberText);
        if (!number) {
            findings.logAttention(fmt::format("fltsim num {} incorrect", line));
            return false;
        }
        anyHeader = true;
        // As unsigned, a negative number counts as too high as well.
        aboveLimit = aboveLimit || static_cast<std::uint32_t>(*number) > kMaxFltsimNumber;
    }
    if (!anyHeader) {
        findings.problems.noFltsimFiles.push_back(gf_pathToUtf8(cfgPath));
        return true;
    }
    if (aboveLimit) {
        lf_addInvalidCfgFile(findings.problems,
                             fmt::format("{} contains a [fltsim.x] section with a number < 0 or > {}",
                                         gf_pathToUtf8(cfgPath), kMaxFltsimNumber));
        return false;
    }
    return true;
}

std::string lf_modelFromAircraftCfg(CfgFileFindings& findings, std::span<const std::string> lines,
                                    const fs::path& cfgPath) {
    for (const std::string& line : lines) {
        const std::string code = lf_matchIcaoTypeDesignator(line);
        if (!code.empty()) return checkedModelCode(findings.problems, code, cfgPath);
    }
    return lf_applyModelFixes(findings.problems, cfgPath, lines);
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

void lf_readAircraftCfg(CfgFileFindings& findings, const CfgFileSource& source, std::span<const std::string> lines,
                        std::string_view modelCode) {
    // A section's lines follow each other in the file: the header, then
    // every line up to the next header or other section.
    std::optional<std::size_t> sectionStart;
    // At most one candidate per section, and a section header is a line
    // with an early '[': room for them all at once.
    findings.candidates.reserve(
        findings.candidates.size() +
        static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(),
                                               [](const std::string& line) { return opensOtherSection(line); })));
    auto processSectionUpTo = [&](std::size_t end) {
        if (!sectionStart) return;
        const auto section = lines.subspan(*sectionStart, end - *sectionStart);
        if (auto candidate = lf_procesFltSimSection(findings, source, section, modelCode)) {
            findings.candidates.push_back(std::move(*candidate));
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
}

}  // namespace qvl
