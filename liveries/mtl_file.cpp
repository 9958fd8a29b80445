#include "liveries/mtl_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <exception>
#include <system_error>
#include <utility>
#include <vector>

#include "core/strings.h"
#include "core/text_file.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/key_line.h"
#include "refdata/code_table.h"
#include "refdata/dbase.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kExpectedSectionLines = 48;
constexpr std::size_t kMaxRegistrationSize = 12;

// Packages whose titles carry a "W" (winglets) right after the type code.
constexpr std::array<std::string_view, 5> kWingletPackages{"IVAO_B738WLfa", "IVAO_B739WLfa", "IVAO_A320wCFM",
                                                           "IVAO_A320wIAE", "IVAO_A319fIAEw"};

constexpr char lowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// "texture." + the texture key as Windows reads the name: either slash
// separates, and the trailing dots and blanks of the last name are dropped,
// so a section without a texture key names the folder "texture".
std::string windowsFolderName(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

// Whether the folder is there. A folder the file system cannot check (a
// link to itself, no rights, a name too long) is no use to the simulator
// either: it counts as missing.
bool isDirectory(const fs::path& folder) {
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    return !error && fs::is_directory(status);
}

// Windows finds the folder whatever the case of the name's letters.
bool textureFolderExists(CfgFileFindings& findings, const fs::path& aircraftFolder, const std::string& name) {
    // No file name holds a NUL; the system would read the name only up to it.
    if (name.find('\0') != std::string::npos) return false;
    const std::optional<fs::path> folderName = pathFromFileText(name);
    if (!folderName) return false;
    if (isDirectory(aircraftFolder / *folderName)) return true;
    if (name.find('/') != std::string::npos) return false;
    std::error_code error;
    for (fs::directory_iterator entry(aircraftFolder, error), end; !error && entry != end; entry.increment(error)) {
        const std::optional<std::string> entryName = checkedPathToUtf8(entry->path().filename());
        if (!entryName) {
            findings.log(fmt::format("Skipped an entry of {} whose name is no text", gf_pathToUtf8(aircraftFolder)));
            continue;
        }
        if (equalsNoCase(*entryName, name) && isDirectory(entry->path())) return true;
    }
    return false;
}

// What one test of the walk made of a line.
enum class LineOutcome : std::uint8_t {
    notMine,   // the next test looks at the line
    consumed,  // the line is done with
    rejected,  // the section yields nothing (the problem line is written)
};

class IvaoSectionWalk {
public:
    IvaoSectionWalk(CfgFileFindings& findings, const CfgFileSource& source, std::string_view header)
        : findings_(findings),
          source_(source),
          header_(header),
          folderText_(gf_pathToUtf8(source.aircraftFolder)),
          wAfterModel_(std::any_of(kWingletPackages.begin(), kWingletPackages.end(),
                                   [this](std::string_view p) { return folderText_.find(p) != std::string::npos; })) {}

    // False when a line rejected the section.
    bool walk(std::span<const std::string> lines) {
        for (const std::string& line : lines) {
            if (readLine(line) == LineOutcome::rejected) return false;
        }
        return true;
    }

    std::optional<LiveryCandidate> finish(std::string_view modelCode);

private:
    LineOutcome readLine(std::string_view line) {
        for (auto test : {&IvaoSectionWalk::readTitle, &IvaoSectionWalk::readParkingTypes,
                          &IvaoSectionWalk::readRegistration, &IvaoSectionWalk::readTexture}) {
            const LineOutcome outcome = (this->*test)(line);
            if (outcome != LineOutcome::notMine) return outcome;
        }
        return LineOutcome::notMine;
    }

    LineOutcome readTitle(std::string_view line);
    LineOutcome readParkingTypes(std::string_view line);
    LineOutcome readRegistration(std::string_view line);
    LineOutcome readTexture(std::string_view line) {
        if (texture_.empty()) lf_matchTexture(line, texture_);
        return LineOutcome::consumed;
    }

    LineOutcome reject(std::string line) {
        lf_addIncompleteSection(findings_.problems, std::move(line));
        return LineOutcome::rejected;
    }
    std::string sectionLine(std::string_view what) const {
        return folderText_ + " " + std::string(header_) + std::string(what);
    }
    std::optional<LiveryCandidate> drop(std::string_view what) {
        lf_addIncompleteSection(findings_.problems, sectionLine(what));
        return std::nullopt;
    }
    std::string missingTextureLine(const std::string& textureName) const;
    std::optional<LiveryKey> keyOf(std::string_view modelCode);
    LiveryCandidate makeLiveryData(const LiveryKey& key) const;

    CfgFileFindings& findings_;
    const CfgFileSource& source_;
    std::string_view header_;
    std::string folderText_;
    bool wAfterModel_;
    std::string title_;
    std::string parkingTypes_;
    std::string registration_;
    std::string texture_;
};

LineOutcome IvaoSectionWalk::readTitle(std::string_view line) {
    std::string value;
    if (!lf_matchTitle(line, value)) return LineOutcome::notMine;
    if (!title_.empty()) return reject(folderText_ + " " + std::string(header_) + " has more than one title key");
    title_ = lf_trimCopy(value);
    if (title_ != value) findings_.log(fmt::format("removed spaces around title '{}' --> '{}'", value, title_));
    return LineOutcome::consumed;
}

// Read and checked for a second key, but an IVAO livery is a passenger
// livery whatever its parking types say.
LineOutcome IvaoSectionWalk::readParkingTypes(std::string_view line) {
    if (!parkingTypes_.empty()) {
        return lf_hasAtcParkingTypesKey(line)
                   ? reject(folderText_ + " " + std::string(header_) + " has more than one atc_parking_types key")
                   : LineOutcome::notMine;
    }
    std::string value;
    if (!lf_matchAtcParkingTypes(line, value)) return LineOutcome::notMine;
    parkingTypes_ = lf_trimCopy(value);
    toUpperInPlace(parkingTypes_);
    return LineOutcome::consumed;
}

LineOutcome IvaoSectionWalk::readRegistration(std::string_view line) {
    if (!registration_.empty()) {
        return lf_hasAtcIdKey(line) ? reject(fmt::format("{}, {}, has more than one atc_id key", folderText_, header_))
                                    : LineOutcome::notMine;
    }
    std::string value;
    if (!lf_matchAtcId(line, value)) return LineOutcome::notMine;
    auto pieces = lf_splitTrimmed(value, ',', EmptyPieces::keep);
    const bool invalid = std::any_of(pieces.begin(), pieces.end(), [](const std::string& piece) {
        return piece.empty() || piece.size() > kMaxRegistrationSize || piece.find('*') != std::string::npos;
    });
    if (invalid) {
        lf_addIncompleteSection(findings_.problems, fmt::format("invalid atc_id={} in {}", value, title_));
    } else if (pieces.size() == 1) {
        registration_ = std::move(pieces.front());
    }
    return LineOutcome::consumed;
}

// The airline from the title, else the registration record's key.
std::optional<LiveryKey> IvaoSectionWalk::keyOf(std::string_view modelCode) {
    if (const auto airline = ivaoTitleAirline(title_, modelCode, wAfterModel_)) {
        if (!gf_isKnownAirline(*airline)) {
            lf_addInvalidAirlineCode(findings_.problems, *airline, gf_pathToUtf8(source_.cfgPath), header_);
            return std::nullopt;
        }
        if (*airline == kFictionalAirline) registration_.clear();
        return LiveryKey{.airlineId = gf_airlineId(*airline), .modelId = gf_modelId(modelCode)};
    }
    if (registration_.empty()) {
        drop(" misses airlinecode in title: " + title_ + ", and no regcode");
        return std::nullopt;
    }
    if (const auto record = gf_findDbaseRecord(registration_)) return liveryKeyOf(record->key);
    drop(" misses airlinecode in title: " + title_ + ", and regcode unknown " + registration_);
    return std::nullopt;
}

// The merge takes the title; a key without airline or model (a registration
// record that lacks one) gives no livery there and leaves the title free.
LiveryCandidate IvaoSectionWalk::makeLiveryData(const LiveryKey& key) const {
    if (findings_.folderText.empty()) findings_.folderText = folderText_;
    return {.livery = {.title = title_, .registration = registration_, .key = key, .folderIndex = source_.folderIndex},
            .header = std::string(header_),
            .form = TitleTakenForm::ivao};
}

std::string IvaoSectionWalk::missingTextureLine(const std::string& textureName) const {
    const std::optional<fs::path> name = pathFromFileText(textureName);
    // A name that is no text still names the folder in the line.
    const std::string folder = name ? gf_pathToUtf8(source_.aircraftFolder / *name)
                                    : gf_pathToUtf8(source_.aircraftFolder / fs::path()) + textureName;
    return folder + " " + std::string(header_) + " does not exist";
}

std::optional<LiveryCandidate> IvaoSectionWalk::finish(std::string_view modelCode) {
    const std::string textureName = "texture." + texture_;
    if (!textureFolderExists(findings_, source_.aircraftFolder, windowsFolderName(textureName))) {
        lf_addIncompleteSection(findings_.problems, missingTextureLine(textureName));
        return std::nullopt;
    }
    if (title_.empty()) return drop(" misses title");
    if (isDontUseTitle(source_, title_)) return std::nullopt;
    const std::optional<LiveryKey> key = keyOf(modelCode);
    if (!key) return std::nullopt;
    return makeLiveryData(*key);
}

void searchIvaoFile(CfgFileFindings& findings, const ScanTaskInput& input, const std::stop_token& stop) {
    const fs::path& cfgPath = input.cfgPath;
    const std::string modelCode = lf_modelFromIvaoPath(findings.problems, cfgPath);
    if (modelCode.empty()) return;
    // The file is read and its headers checked as every aircraft.cfg is.
    const std::optional<std::vector<std::string>> lines = readAircraftCfgLines(findings, cfgPath);
    // The read is where a task may hang; once the pool has ended, what the
    // file says is of use to nobody.
    if (stop.stop_requested()) return;
    if (!lines || !lf_checkFltsimNumber(findings, *lines, cfgPath)) return;
    const CfgFileSource source{.folderIndex = input.folderIndex,
                               .cfgPath = cfgPath,
                               .aircraftFolder = cfgPath.parent_path(),
                               .dontUseTitles = input.dontUseTitles};
    lf_readIvaoFile(findings, source, *lines, modelCode);
}

}  // namespace

// The count of running scan tasks is the worker pool's, as for
// lf_searchLiveriesinFile.
CfgFileFindings lf_searchLiveriesinIVAOFile(const ScanTaskInput& input, const std::stop_token& stop) {
    CfgFileFindings findings;
    const std::string pathText = gf_pathToUtf8(input.cfgPath);
    std::string reason;
    try {
        searchIvaoFile(findings, input, stop);
        return findings;
    } catch (const std::exception& e) {
        reason = e.what();
        findings.log(fmt::format("! Exception in lf_searchLiveriesinIVAOFile {}: {}", pathText, reason));
    } catch (...) {
        reason = "unknown error";
        findings.log(fmt::format("! Unknown exception in lf_searchLiveriesinIVAOFile {}", pathText));
    }
    listUnreadableFile(findings, input.cfgPath, reason);
    return findings;
}

std::string lf_modelFromIvaoPath(ScanProblemLines& problems, const fs::path& cfgPath) {
    const std::string cfgText = gf_pathToUtf8(cfgPath);
    // The packages' layout is written with Windows separators.
    std::string windowsText = cfgText;
    std::replace(windowsText.begin(), windowsText.end(), '/', '\\');
    auto folder = ivaoModelFolder(windowsText, "IVAO_MTL");
    if (!folder) folder = ivaoModelFolder(windowsText, "ivao_x-csl");
    if (!folder) {
        lf_addInvalidModelCode(problems, "  ", cfgText);
        return {};
    }
    std::string code(folder->substr(0, 4));
    if (dbaseTables().icaoModelCodes.contains(code)) return code;
    if (auto fix = lf_modelFix(code)) {
        lf_addModelFix(problems, fmt::format("Model fix: {} found in {} changed into {}", code, cfgText, *fix));
        return std::move(*fix);
    }
    lf_addInvalidModelCode(problems, code, cfgText);
    return {};
}

void lf_readIvaoFile(CfgFileFindings& findings, const CfgFileSource& source, std::span<const std::string> lines,
                     std::string_view modelCode) {
    std::vector<std::string> section;
    section.reserve(kExpectedSectionLines);
    bool inSection = false;
    const auto flush = [&] {
        if (section.empty()) return;
        if (auto candidate = lf_procesIvaoFltSimSection(findings, source, section, modelCode)) {
            findings.candidates.push_back(std::move(*candidate));
        }
        section.clear();
    };
    for (const std::string& line : lines) {
        if (!lf_matchFltsimHeader(line).empty()) {
            flush();
            inSection = true;
            section.push_back(line);
        } else if (line.find('[') != std::string::npos) {
            // Any other section closes the open one, wherever its bracket stands.
            if (inSection) flush();
            inSection = false;
        } else if (inSection) {
            section.push_back(line);
        }
    }
    flush();
}

std::optional<LiveryCandidate> lf_procesIvaoFltSimSection(CfgFileFindings& findings, const CfgFileSource& source,
                                                          std::span<const std::string> lines,
                                                          std::string_view modelCode) {
    if (lines.empty()) return std::nullopt;
    IvaoSectionWalk walk(findings, source, lines.front());
    if (!walk.walk(lines)) return std::nullopt;
    return walk.finish(modelCode);
}

}  // namespace qvl
