#include "liveries/mtl_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <exception>
#include <system_error>
#include <utility>
#include <vector>

#include "core/log.h"
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

// Whether the folder is there; a name too long to exist is not there, any
// other failure of the query throws.
bool isDirectory(const fs::path& folder) {
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory &&
        error != std::errc::filename_too_long) {
        throw fs::filesystem_error("texture folder", folder, error);
    }
    return !error && fs::is_directory(status);
}

// Windows finds the folder whatever the case of the name's letters.
bool textureFolderExists(const fs::path& aircraftFolder, const std::string& name) {
    // No file name holds a NUL; the system would read the name only up to it.
    if (name.find('\0') != std::string::npos) return false;
    if (isDirectory(aircraftFolder / pathFromUtf8(name))) return true;
    if (name.find('/') != std::string::npos) return false;
    std::error_code error;
    for (fs::directory_iterator entry(aircraftFolder, error), end; !error && entry != end; entry.increment(error)) {
        if (equalsNoCase(gf_pathToUtf8(entry->path().filename()), name) && isDirectory(entry->path())) return true;
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
    IvaoSectionWalk(LiveryScanState& state, const CfgFileSource& source, std::string_view header)
        : state_(state),
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

    std::optional<LiveryData> finish(std::string_view modelCode);

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
        lf_addIncompleteSection(state_, std::move(line));
        return LineOutcome::rejected;
    }
    std::optional<LiveryData> drop(std::string_view what) {
        lf_addIncompleteSection(state_, folderText_ + " " + std::string(header_) + std::string(what));
        return std::nullopt;
    }
    std::optional<LiveryKey> keyOf(std::string_view modelCode);
    std::optional<LiveryData> makeLiveryData(const LiveryKey& key);

    LiveryScanState& state_;
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
    if (title_ != value) gf_log(fmt::format("removed spaces around title '{}' --> '{}'", value, title_));
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
        lf_addIncompleteSection(state_, fmt::format("invalid atc_id={} in {}", value, title_));
    } else if (pieces.size() == 1) {
        registration_ = std::move(pieces.front());
    }
    return LineOutcome::consumed;
}

// The airline from the title, else the registration record's key.
std::optional<LiveryKey> IvaoSectionWalk::keyOf(std::string_view modelCode) {
    if (const auto airline = ivaoTitleAirline(title_, modelCode, wAfterModel_)) {
        if (!gf_isKnownAirline(*airline)) {
            lf_addInvalidAirlineCode(state_, *airline, gf_pathToUtf8(source_.cfgPath), header_);
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

// A key without airline or model (a registration record that lacks one)
// gives no livery and leaves the title free for a section that has both.
std::optional<LiveryData> IvaoSectionWalk::makeLiveryData(const LiveryKey& key) {
    if (!key.usable() || !state_.seenTitles.take(title_)) return drop(" title already exists: " + title_);
    return LiveryData{.title = title_, .registration = registration_, .key = key, .folderIndex = source_.folderIndex};
}

std::optional<LiveryData> IvaoSectionWalk::finish(std::string_view modelCode) {
    const std::string textureName = "texture." + texture_;
    if (!textureFolderExists(source_.aircraftFolder, windowsFolderName(textureName))) {
        lf_addIncompleteSection(state_, gf_pathToUtf8(source_.aircraftFolder / pathFromUtf8(textureName)) + " " +
                                            std::string(header_) + " does not exist");
        return std::nullopt;
    }
    if (title_.empty()) return drop(" misses title");
    if (state_.dontUseTitles.contains(title_)) return std::nullopt;
    const std::optional<LiveryKey> key = keyOf(modelCode);
    if (!key) return std::nullopt;
    return makeLiveryData(*key);
}

// Lowers the count of running scan tasks however the task ends.
class TaskCountGuard {
public:
    explicit TaskCountGuard(std::atomic<std::int32_t>& count) : count_(count) {}
    ~TaskCountGuard() { count_.fetch_sub(1); }
    TaskCountGuard(const TaskCountGuard&) = delete;
    TaskCountGuard& operator=(const TaskCountGuard&) = delete;

private:
    std::atomic<std::int32_t>& count_;
};

std::list<LiveryData> searchIvaoFile(LiveryScanState& state, std::int16_t folderIndex, const fs::path& cfgPath) {
    const std::string modelCode = lf_modelFromIvaoPath(state, cfgPath);
    if (modelCode.empty()) return {};
    // The file is read and its headers checked as every aircraft.cfg is.
    const std::optional<std::vector<std::string>> lines = readAircraftCfgLines(state, cfgPath);
    if (!lines || !lf_checkFltsimNumber(state, *lines, cfgPath)) return {};
    const CfgFileSource source{.folderIndex = folderIndex, .cfgPath = cfgPath, .aircraftFolder = cfgPath.parent_path()};
    return lf_readIvaoFile(state, source, *lines, modelCode);
}

}  // namespace

std::list<LiveryData> lf_searchLiveriesinIVAOFile(LiveryScanState& state, std::int16_t folderIndex,
                                                  const fs::path& cfgPath,
                                                  std::atomic<std::int32_t>& runningTaskCount) {
    const TaskCountGuard lowerWhenDone(runningTaskCount);
    try {
        return searchIvaoFile(state, folderIndex, cfgPath);
    } catch (const std::exception& e) {
        gf_log(fmt::format("! Exception in lf_searchLiveriesinIVAOFile {}: {}", gf_pathToUtf8(cfgPath), e.what()));
        throw;
    } catch (...) {
        gf_log(fmt::format("! Unknown exception in lf_searchLiveriesinIVAOFile {}", gf_pathToUtf8(cfgPath)));
        throw;
    }
}

std::string lf_modelFromIvaoPath(LiveryScanState& state, const fs::path& cfgPath) {
    const std::string cfgText = gf_pathToUtf8(cfgPath);
    // The packages' layout is written with Windows separators.
    std::string windowsText = cfgText;
    std::replace(windowsText.begin(), windowsText.end(), '/', '\\');
    auto folder = ivaoModelFolder(windowsText, "IVAO_MTL");
    if (!folder) folder = ivaoModelFolder(windowsText, "ivao_x-csl");
    if (!folder) {
        lf_addInvalidModelCode(state, "  ", cfgText);
        return {};
    }
    std::string code(folder->substr(0, 4));
    if (dbaseTables().icaoModelCodes.contains(code)) return code;
    if (auto fix = lf_modelFix(code)) {
        lf_addModelFix(state, fmt::format("Model fix: {} found in {} changed into {}", code, cfgText, *fix));
        return std::move(*fix);
    }
    lf_addInvalidModelCode(state, code, cfgText);
    return {};
}

std::list<LiveryData> lf_readIvaoFile(LiveryScanState& state, const CfgFileSource& source,
                                      std::span<const std::string> lines, std::string_view modelCode) {
    std::list<LiveryData> liveries;
    std::vector<std::string> section;
    section.reserve(kExpectedSectionLines);
    bool inSection = false;
    const auto flush = [&] {
        if (section.empty()) return;
        if (auto livery = lf_procesIvaoFltSimSection(state, source, section, modelCode)) {
            liveries.push_back(std::move(*livery));
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
    return liveries;
}

std::optional<LiveryData> lf_procesIvaoFltSimSection(LiveryScanState& state, const CfgFileSource& source,
                                                     std::span<const std::string> lines, std::string_view modelCode) {
    if (lines.empty()) return std::nullopt;
    IvaoSectionWalk walk(state, source, lines.front());
    if (!walk.walk(lines)) return std::nullopt;
    return walk.finish(modelCode);
}

}  // namespace qvl
