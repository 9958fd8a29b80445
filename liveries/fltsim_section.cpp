#include "liveries/fltsim_section.h"

#include <fmt/format.h>

#include <exception>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "liveries/key_line.h"
#include "refdata/dbase.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

// What one test of the walk made of a line.
enum class LineOutcome : std::uint8_t {
    notMine,           // the next test looks at the line
    consumed,          // the line is done with
    rejected,          // the section yields nothing, with a problem line
    rejectedSilently,  // the section yields nothing and nothing is reported
};

constexpr std::size_t kMaxRegistrationSize = 12;

// Titles of user aircraft that AI packages sometimes carry along.
bool isUserAircraftTitle(std::string_view title) {
    return title.find("FenixA320") != std::string_view::npos || title.find("PMDG 737") != std::string_view::npos;
}

// "D-ABCD;old" -> "D-ABCD"; several registrations leave none.
struct AtcIdReading {
    std::string registration{};
    bool invalid = false;
};

AtcIdReading readAtcId(std::string_view value) {
    const std::string_view beforeComment = value.substr(0, value.find(';'));
    if (beforeComment.empty()) return {.invalid = true};
    auto pieces = lf_splitTrimmed(beforeComment, ',', EmptyPieces::keep);
    for (const auto& piece : pieces) {
        if (piece.empty() || piece.size() > kMaxRegistrationSize || piece.find('*') != std::string::npos) {
            return {.invalid = true};
        }
    }
    if (pieces.size() == 1) return {.registration = std::move(pieces.front())};
    return {};
}

class SectionWalk {
public:
    SectionWalk(CfgFileFindings& findings, const CfgFileSource& source, std::string_view header)
        : findings_(findings), source_(source), header_(header) {}

    // Reads the lines until a rejection; the outcome of the walk.
    LineOutcome walk(std::span<const std::string> lines) {
        for (const std::string& line : lines) {
            const LineOutcome outcome = readLine(line);
            if (outcome == LineOutcome::rejected || outcome == LineOutcome::rejectedSilently) return outcome;
        }
        return LineOutcome::consumed;
    }

    std::optional<LiveryCandidate> finish(LineOutcome walked, std::string_view modelCode);

private:
    LineOutcome readLine(std::string_view line) {
        for (auto test : {&SectionWalk::readTitle, &SectionWalk::readAirline, &SectionWalk::readParkingTypes,
                          &SectionWalk::readRegistration}) {
            const LineOutcome outcome = (this->*test)(line);
            if (outcome != LineOutcome::notMine) return outcome;
        }
        return LineOutcome::notMine;
    }

    LineOutcome readTitle(std::string_view line);
    LineOutcome readAirline(std::string_view line);
    LineOutcome readParkingTypes(std::string_view line);
    LineOutcome readRegistration(std::string_view line);

    LineOutcome reject(std::string line) {
        lf_addIncompleteSection(findings_.problems, std::move(line));
        return LineOutcome::rejected;
    }
    LineOutcome rejectSecondKey(std::string_view key) {
        return reject(fmt::format("{} {} has more than one {} key", folderText(), header_, key));
    }
    std::optional<LiveryCandidate> drop(std::string line) {
        lf_addIncompleteSection(findings_.problems, std::move(line));
        return std::nullopt;
    }
    bool completeAirline(std::string_view modelCode, std::optional<DbaseIds>& candidate);

    CfgFileFindings& findings_;
    const CfgFileSource& source_;
    std::string_view header_;
    // The paths as text, made when a line first needs them: most sections
    // write none.
    const std::string& folderText() {
        if (!folderText_) folderText_ = gf_pathToUtf8(source_.aircraftFolder);
        return *folderText_;
    }
    const std::string& cfgText() {
        if (!cfgText_) cfgText_ = gf_pathToUtf8(source_.cfgPath);
        return *cfgText_;
    }

    std::optional<std::string> folderText_;
    std::optional<std::string> cfgText_;
    std::string title_;
    std::string airline_;
    std::string registration_;
    std::string parkingTypes_;
};

LineOutcome SectionWalk::readTitle(std::string_view line) {
    std::string value;
    if (!lf_matchTitle(line, value)) return LineOutcome::notMine;
    if (!title_.empty()) return rejectSecondKey("title");
    title_ = lf_trimCopy(value);
    return isUserAircraftTitle(title_) ? LineOutcome::rejectedSilently : LineOutcome::consumed;
}

LineOutcome SectionWalk::readAirline(std::string_view line) {
    if (!airline_.empty()) {
        return line.find("icao_airline") != std::string_view::npos ? rejectSecondKey("icao_airline")
                                                                   : LineOutcome::notMine;
    }
    std::string code;
    if (!lf_matchIcaoAirline(line, code)) return LineOutcome::notMine;
    code = lf_trimCopy(code);
    // DLHC, BAWX: the cargo or extra letter of a four-letter spelling.
    if (code.size() == 4 && (code[3] == 'X' || code[3] == 'C')) code.resize(3);
    if (dbaseTables().icaoAirlineCodes.contains(code)) {
        airline_ = std::move(code);
    } else if (code == "RFO") {
        return LineOutcome::rejectedSilently;
    } else {
        // Dropped, so that a later icao_airline line of the section is read.
        lf_addInvalidAirlineCode(findings_.problems, code, cfgText(), header_);
    }
    return LineOutcome::consumed;
}

LineOutcome SectionWalk::readParkingTypes(std::string_view line) {
    if (!parkingTypes_.empty()) {
        return lf_hasAtcParkingTypesKey(line) ? rejectSecondKey("atc_parking_types") : LineOutcome::notMine;
    }
    std::string value;
    if (!lf_matchAtcParkingTypes(line, value)) return LineOutcome::notMine;
    parkingTypes_ = lf_trimCopy(value);
    toUpperInPlace(parkingTypes_);
    return LineOutcome::consumed;
}

LineOutcome SectionWalk::readRegistration(std::string_view line) {
    if (!registration_.empty()) {
        return lf_hasAtcIdKey(line) ? reject(fmt::format("{}, {}, has more than one atc_id key", folderText(), header_))
                                    : LineOutcome::notMine;
    }
    std::string value;
    if (!lf_matchAtcId(line, value)) return LineOutcome::notMine;
    AtcIdReading reading = readAtcId(value);
    if (reading.invalid) {
        lf_addIncompleteSection(findings_.problems,
                                fmt::format("invalid atc_id={} in: {}", value.substr(0, value.find(';')), title_));
    } else {
        registration_ = std::move(reading.registration);
    }
    return LineOutcome::consumed;
}

// A section without an airline: the registration record's airline, or a
// private aircraft unless the model is heavy. False when the section ends.
bool SectionWalk::completeAirline(std::string_view modelCode, std::optional<DbaseIds>& candidate) {
    const bool heavy = gf_categoryOfModel(modelCode) == AircraftCategory::Heavy;
    if (!registration_.empty()) {
        if (candidate && candidate->key.airlineId != 0) return true;
        if (heavy) {
            drop(fmt::format("'{}' '{}' has no airline and regcode not in dbase", folderText(), header_));
            return false;
        }
        airline_ = kPrivateAirline;
        return true;
    }
    if (heavy) {
        drop(fmt::format("'{}' '{}' has no airline and no regcode info", folderText(), header_));
        return false;
    }
    airline_ = kPrivateAirline;
    if (auto found = gf_findShortRegistrationIn(title_)) {
        registration_ = std::move(*found);
        candidate = gf_findDbaseRecord(registration_);
    }
    return true;
}

std::optional<LiveryCandidate> SectionWalk::finish(LineOutcome walked, std::string_view modelCode) {
    // User aircraft and "RFO" sections are no AI liveries at all: nothing
    // about them is worth a problem line.
    if (airline_.empty() && walked != LineOutcome::rejectedSilently) {
        lf_addIncompleteSection(
            findings_.problems,
            fmt::format("{} {} icao_airline is missing, or it has invalid info ", cfgText(), header_));
    }
    if (walked != LineOutcome::consumed) return std::nullopt;
    if (title_.empty()) return drop(fmt::format("{} {} misses title", folderText(), header_));
    if (title_.find("Fictional") != std::string::npos) return std::nullopt;
    if (title_.ends_with("-STUB")) airline_ = kFictionalAirline;
    if (isDontUseTitle(source_, title_)) return std::nullopt;
    if (airline_ == kFictionalAirline) registration_.clear();

    std::optional<DbaseIds> candidate;
    if (!registration_.empty()) candidate = gf_findDbaseRecord(registration_);
    if (airline_.empty() && !completeAirline(modelCode, candidate)) return std::nullopt;

    const bool cargo = parkingTypes_.size() >= 5 && parkingTypes_.find("CARGO") != std::string::npos &&
                       parkingTypes_.find("GATE") == std::string::npos;
    const LiveryKey key = candidate && candidate->key.airlineId != 0
                              ? liveryKeyOf(candidate->key)
                              : LiveryKey{.airlineId = gf_airlineId(airline_),
                                          .modelId = gf_modelId(modelCode),
                                          .cargo = static_cast<std::uint8_t>(cargo ? 1 : 0)};
    if (findings_.folderText.empty()) findings_.folderText = folderText();
    return LiveryCandidate{.livery = {.title = std::move(title_),
                                      .registration = std::move(registration_),
                                      .key = key,
                                      .folderIndex = source_.folderIndex},
                           .header = std::string(header_),
                           .form = TitleTakenForm::ordinary};
}

}  // namespace

bool isDontUseTitle(const CfgFileSource& source, std::string_view title) {
    return source.dontUseTitles && source.dontUseTitles->contains(title);
}

std::optional<LiveryCandidate> lf_procesFltSimSection(CfgFileFindings& findings, const CfgFileSource& source,
                                                      std::span<const std::string> lines, std::string_view modelCode) {
    if (lines.empty()) return std::nullopt;
    try {
        SectionWalk walk(findings, source, lines.front());
        const LineOutcome walked = walk.walk(lines);
        return walk.finish(walked, modelCode);
    } catch (const std::exception& e) {
        findings.log(
            fmt::format("Exception in lf_procesFltSimSection: {}, file: {}", e.what(), gf_pathToUtf8(source.cfgPath)));
        throw;
    }
}

}  // namespace qvl
