#include "airports/learned_file.h"

#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "airports/apf_file.h"
#include "core/files.h"
#include "core/half_hour_slots.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/meta_info.h"
#include "core/parameters.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "core/xml.h"
#include "platform/units.h"

namespace fs = std::filesystem;

namespace qvl {

namespace {

constexpr std::string_view kReaderName = "lf_readLearned";
constexpr std::int32_t kDefaultParkingPercentage = 30;
// A manual stand needs a position off the 0/0 point.
constexpr double kNoCoordinate = 0.0001;

void logSetting(std::string_view key, std::string_view value) {
    gf_logContinuation(fmt::format("{:24}: {}", key, value));
}
void logSetting(std::string_view key, std::int32_t value) { logSetting(key, std::to_string(value)); }
void logSetting(std::string_view key, bool value) { logSetting(key, std::string_view(value ? "true" : "false")); }

void applyBool(const pugi::xml_node& document, BoolControlParameter& setting, Status& status) {
    const auto value = gf_readBoolParameterXml(document, setting.key());
    if (!value) return;
    setting.set(*value);
    status.settingChanged(setting);
    logSetting(setting.key(), *value);
}

void applyLearnedRange(const pugi::xml_node& document, RangeControl& range, Status& status) {
    if (const auto value = gf_readIntParameterXml(document, RANGE.key())) {
        gf_setRange(*value, status);
        logSetting(RANGE.key(), *value);
        status.controlUsable(RANGE, true);
    }
    if (const auto value = gf_readBoolParameterXml(document, AUTO_RANGE.key())) {
        AUTO_RANGE.set(*value);
        status.settingChanged(AUTO_RANGE);
        logSetting(AUTO_RANGE.key(), *value);
        gf_applyAutoRange(range, status);
    }
}

void applyParkingPercentage(const pugi::xml_node& document, Status& status) {
    if (const auto value = gf_readIntParameterXml(document, parking_percentage.key())) {
        // A hand-edited file must not push the share of filled stands
        // beyond what the drop-down offers.
        parking_percentage.set(parking_percentage.clamp(*value));
        logSetting(parking_percentage.key(), parking_percentage.value());
    } else {
        parking_percentage.set(kDefaultParkingPercentage);
    }
    status.settingChanged(parking_percentage);
}

void applyMaxFit(const pugi::xml_node& document, Status& status) {
    const auto value = gf_readIntParameterXml(document, MAX_FIT.key());
    if (!value) return;
    MAX_FIT.set(MAX_FIT.clamp(*value));
    gf_selectMaxFitFl(status);
    gf_logContinuation(fmt::format("{:24}: {} (max number of half hours, is {:.1F} hrs decimal)", MAX_FIT.key(),
                                   MAX_FIT.value(), MAX_FIT_FL.floatValue()));
}

void applyLearnedSettings(const pugi::xml_node& document, RangeControl& range, Status& status) {
    if (const auto value = gf_readIntParameterXml(document, MAX_LIVE_SEL.key())) {
        MAX_LIVE_SEL.set(MAX_LIVE_SEL.clamp(*value));
        status.settingChanged(MAX_LIVE_SEL);
        logSetting(MAX_LIVE_SEL.key(), MAX_LIVE_SEL.value());
    }
    applyLearnedRange(document, range, status);
    applyParkingPercentage(document, status);
    applyBool(document, WEEK, status);
    applyBool(document, PARK_SOFT, status);
    applyMaxFit(document, status);
    applyBool(document, INITIAL_LOAD_ONLY, status);
    if (INITIAL_LOAD_ONLY.value()) status.controlUsable(NOW_BUTTON, false);
}

bool isOldVersion(const MetaInfo& meta, HeldLogLines& log) {
    const auto version = readVersionQuietly(meta.version);
    if (!version) {
        log.log(version.errorText());
        throw std::runtime_error("parse error in version string");
    }
    if (*version >= kLearnedFlightsSince) return false;
    log.log(
        "\nThis learned file was created with and older QVLT version than 11.10.0,\n"
        "All flights will be cleared, except for a handmade file\n");
    return true;
}

void compareAirportName(const pugi::xml_node& document, const ParkAirportHeader& header) {
    const std::string learnedName = gf_readStringParameterXml(document, "airport_name").value_or("");
    if (learnedName == header.airportName) return;
    gf_showMessage(fmt::format("Warning: learned file airport name: '{}' differs from archived file airport name: '{}'",
                               learnedName, header.airportName),
                   MessageLogging::logged);
}

// A handmade file's stands replace the stand file's. True when it was one.
bool readHandmade(const pugi::xml_node& document, std::vector<Stand>& stands, LearnedBuild& build) {
    const auto handmade = gf_readStringParameterXml(document, "handmade");
    build.handmade = handmade.has_value();
    if (!handmade) return false;
    gf_clearStands(stands);
    readStandsInto(document, stands, build.standLines);
    build.standLines.continuation(fmt::format("{:24}: {}", "handmade", *handmade));
    return true;
}

bool usableManualPlace(const pugi::xml_node& parkpos) {
    const double latitude = parkpos.attribute("latitude").as_double(0.0);
    const double longitude = parkpos.attribute("longitude").as_double(0.0);
    const double radius = parkpos.attribute("radius").as_double(0.0);
    if (std::fabs(latitude) <= kNoCoordinate && std::fabs(longitude) <= kNoCoordinate) return false;
    return std::isfinite(radius) && radius > 0.0;
}

class LearnedStands {
public:
    LearnedStands(std::vector<Stand>& stands, const std::string& path, LearnedLines& lines)
        : stands_(stands), path_(path), lines_(lines) {
        for (std::size_t i = 0; i < stands_.size(); ++i) byId_.try_emplace(stands_[i].id, i);
    }

    void take(const pugi::xml_node& parkpos, bool oldVersion) {
        using Kind = LearnedLines::Kind;
        const std::string id = parkpos.attribute("id").as_string();
        const auto found = byId_.find(id);
        if (!parkpos.attribute("manual").as_bool(false)) {
            const LearnedStandEntry entry{.id = id, .parkpos = parkpos, .oldVersion = oldVersion, .lines = lines_};
            if (found == byId_.end() || !lf_mergeLearnedFlights(entry, stands_[found->second])) {
                if (lines_.admit(Kind::unknownStand))
                    lines_.log().log(fmt::format("learned stand {} in {} not found?", id, path_));
            }
            return;
        }
        if (found != byId_.end()) {
            if (lines_.admit(Kind::manualExists)) {
                lines_.log().attention(fmt::format("manually created standid {} already exists in {}", id, path_));
            }
            return;
        }
        if (!usableManualPlace(parkpos)) {
            if (lines_.admit(Kind::manualIncomplete)) {
                lines_.log().attention(
                    fmt::format("manually created standid {} misses correct attributes in {}", id, path_));
            }
            return;
        }
        const std::size_t before = stands_.size();
        readStandInto(parkpos, id, FlightSource::learned, stands_, lines_.log());
        if (stands_.size() == before) return;
        stands_.back().manual = true;
        byId_.try_emplace(id, before);
    }

private:
    std::vector<Stand>& stands_;
    const std::string& path_;
    LearnedLines& lines_;
    // The first stand of each id, as a search of the list in order finds it.
    std::unordered_map<std::string, std::size_t> byId_;
};

// The handmade stands, or the stand file's with the learned changes and flights.
void mergeLearnedStands(const pugi::xml_document& document, bool oldVersion, LearnedLines& lines,
                        const std::string& path, std::vector<Stand>& stands, LearnedBuild& build) {
    if (readHandmade(document, stands, build)) return;
    const pugi::xml_node positions = parkPositionsOf(document);
    if (!positions) return;
    LearnedStands learned(stands, path, lines);
    for (const pugi::xml_node parkpos : positions.children("parkpos")) learned.take(parkpos, oldVersion);
}

void applyRadiusChange(const LearnedStandEntry& entry, Stand& stand) {
    const double metres = entry.parkpos.attribute("radius").as_double(0.0);
    if (!std::isfinite(metres) || metres <= 0.0) {
        if (!entry.lines.admit(LearnedLines::Kind::badRadius)) return;
        entry.lines.log().attention(fmt::format("learned stand {} has no usable radius '{}': radius kept", entry.id,
                                                entry.parkpos.attribute("radius").as_string()));
        return;
    }
    stand.radius = metres / kMetresPerNm;
    stand.radiusChange = true;
}

bool isDuplicate(const LearnedFlight& known, const LearnedFlight& flight) {
    return known.day == flight.day && known.real == flight.real && known.registration == flight.registration &&
           known.ids.airlineId == flight.ids.airlineId && known.ids.operatorId == flight.ids.operatorId &&
           known.ids.modelId == flight.ids.modelId && (known.hours & flight.hours).any();
}

void logDuplicate(std::string_view standId, const LearnedFlight& flight, HeldLogLines& log) {
    const auto slots = gf_bitsetToList(flight.hours);
    const std::string code = flightCodeText(flight.ids);
    if (slots) {
        log.attention(fmt::format("learned {}: day:{} {} {} cs:{} reg:{} already in airport file", standId, flight.day,
                                  *slots, code, flight.callsign1, flight.registration));
    } else {
        log.attention(fmt::format("learned {}: day:{} 'empty hrs' {} cs:{} reg:{} already in airport file", standId,
                                  flight.day, code, flight.callsign1, flight.registration));
    }
}

std::optional<LearnedFlight> readLearnedOpt(const pugi::xml_node& opt, std::uint32_t ordinal, LearnedLines& lines) {
    OptIdentity identity = lf_readOpt(opt);
    const HalfHourSlotsRead read = readHalfHourSlots(opt.attribute("hh").as_string());
    if (!read.problems.empty() && lines.admit(LearnedLines::Kind::unreadableHours)) {
        for (const std::string& problem : read.problems) lines.log().attention(problem);
    }
    const HalfHourSlots& hours = read.slots;
    if (hours.none()) {
        if (lines.admit(LearnedLines::Kind::emptyHours)) lines.log().attention("empty bit set");
        return std::nullopt;
    }
    const int day = opt.attribute("day").as_int(0);
    if (day < 1 || day > 7) return std::nullopt;  // no day of the week: the flight could never be chosen
    return LearnedFlight{.ids = identity.ids,
                         .registration = opt.attribute("reg").as_string(),
                         .callsign1 = std::move(identity.callsign1),
                         .callsign2 = std::move(identity.callsign2),
                         .hours = hours,
                         .ordinal = ordinal,
                         .day = static_cast<std::uint32_t>(day),
                         .source = FlightSource::learned,
                         .real = !opt.attribute("soft").as_bool(false),
                         .cpl = opt.attribute("cpl").as_bool(false)};
}

}  // namespace

bool lf_mergeLearnedFlights(const LearnedStandEntry& entry, Stand& stand) {
    if (stand.id != entry.id) return false;
    const pugi::xml_node& parkpos = entry.parkpos;
    if (parkpos.attribute("radius_change").as_bool(false)) applyRadiusChange(entry, stand);
    if (parkpos.attribute("cargo_change").as_bool(false)) {
        stand.cargo = parkpos.attribute("cargo").as_bool(false);
        stand.cargoChange = true;
    }
    if (entry.oldVersion) return true;
    std::uint32_t next = stand.flights.empty() ? 1 : stand.flights.back().ordinal + 1;
    for (const pugi::xml_node opt : parkpos.children("opt")) {
        auto flight = readLearnedOpt(opt, next, entry.lines);
        if (!flight) continue;
        const bool duplicate = std::any_of(stand.flights.begin(), stand.flights.end(),
                                           [&](const LearnedFlight& known) { return isDuplicate(known, *flight); });
        if (duplicate) {
            if (entry.lines.admit(LearnedLines::Kind::repeatedFlight)) {
                logDuplicate(stand.id, *flight, entry.lines.log());
            }
            continue;
        }
        stand.flights.push_back(std::move(*flight));
        ++next;
    }
    return true;
}

bool LearnedLines::admit(Kind kind) { return ++seen_.at(static_cast<std::size_t>(kind)) <= kWrittenPerKind; }

void LearnedLines::logCounts(HeldLogLines& log) const {
    static constexpr std::array<std::string_view, kKinds> kWhat{"flights already at their stand",
                                                                "flights without half hours",
                                                                "flights with unreadable half hours",
                                                                "learned stands not found",
                                                                "manually created stands that exist already",
                                                                "manually created stands without correct attributes",
                                                                "radius changes without a usable radius"};
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
        if (seen_.at(kind) <= kWrittenPerKind) continue;
        const std::uint64_t more = seen_.at(kind) - kWrittenPerKind;
        log.attention(fmt::format("{} more {} in {} (not logged one by one)", more, kWhat.at(kind), pathText_));
    }
}

namespace {

// The file stays as it is for the user to look at (and as one older
// generation), and the park airport writes no learned file over it.
void refuseLearnedFile(const fs::path& learnedPath, const std::string& path, std::string_view why,
                       LoadedParkAirport& park) {
    park.learnedFileRefused = true;
    (void)gf_save1GenerationOf(learnedPath);
    gf_logAttention(
        fmt::format("learned file {} refused: {}; it is kept, copied as *0.xml, and no learned file is "
                    "written for {} in this visit",
                    path, why, park.icao.view()));
}

}  // namespace

LearnedDocument loadLearnedDocument(const fs::path& learnedPath) {
    LearnedDocument loaded;
    loaded.parsed = loadXmlFile(loaded.document, learnedPath);
    return loaded;
}

void lf_readLearned(const fs::path& learnedPath, LoadedParkAirport& park, RangeControl& range, Status& status) {
    lf_readLearned(learnedPath, loadLearnedDocument(learnedPath), park, range, status);
}

void lf_readLearned(const fs::path& learnedPath, const LearnedDocument& loaded, LoadedParkAirport& park,
                    RangeControl& range, Status& status) {
    LearnedBuild build = buildLearned(learnedPath, loaded, park.parkStands);
    takeLearned(learnedPath, loaded, build, park, range, status);
}

LearnedBuild buildLearned(const fs::path& learnedPath, const LearnedDocument& loaded, std::vector<Stand>& stands) {
    LearnedBuild build;
    if (!loaded.parsed) {
        build.why = loaded.parsed.description();
        return build;
    }
    const pugi::xml_document& document = loaded.document;
    const auto meta = checkMetaInfo(document, SimulatorRow::optional);
    if (!meta) {
        build.outcome = LearnedBuild::Outcome::refused;
        build.why = meta.errorText();
        return build;
    }
    build.outcome = LearnedBuild::Outcome::read;
    bool oldVersion = false;
    try {
        oldVersion = isOldVersion(*meta, build.versionLines);
    } catch (const std::exception&) {
        build.versionFailure = std::current_exception();
        return build;
    }
    const std::string path = gf_pathToUtf8(learnedPath);
    LearnedLines lines(path, build.standLines);
    try {
        mergeLearnedStands(document, oldVersion, lines, path, stands, build);
    } catch (const std::exception&) {
        build.standFailure = std::current_exception();
    }
    lines.logCounts(build.countLines);
    return build;
}

void takeLearned(const fs::path& learnedPath, const LearnedDocument& loaded, LearnedBuild& build,
                 LoadedParkAirport& park, RangeControl& range, Status& status) {
    const std::string path = gf_pathToUtf8(learnedPath);
    if (build.outcome == LearnedBuild::Outcome::notLoaded) {
        park.learnedFileRefused = true;
        gf_save1GenerationOf(learnedPath);
        gf_logAttention(fmt::format("{} found, but could not be loaded, saved as *.0.xml: {}", path, build.why));
        gf_logAttention(fmt::format("no learned file is written for {} in this visit", park.icao.view()));
        return;
    }
    gf_log(fmt::format("Read from learned airport file: '{}'", path));
    gf_flushLog();
    if (build.outcome == LearnedBuild::Outcome::refused) {
        refuseLearnedFile(learnedPath, path, build.why, park);
        return;
    }
    try {
        build.versionLines.write();
        if (build.versionFailure) std::rethrow_exception(build.versionFailure);
        compareAirportName(loaded.document, park.header);
        applyLearnedSettings(loaded.document, range, status);
        park.apfHandmade = build.handmade;
        build.standLines.write();
        if (build.standFailure) std::rethrow_exception(build.standFailure);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", kReaderName, e.what()));
        refuseLearnedFile(learnedPath, path, e.what(), park);
    }
    build.countLines.write();
}

}  // namespace qvl
