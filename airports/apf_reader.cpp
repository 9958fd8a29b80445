// Reading the stands of stand files, and the file names.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "airports/apf_file.h"
#include "airports/stand_log.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/lookups.h"

namespace fs = std::filesystem;

namespace qvl {

namespace {

constexpr std::size_t kIdRoom = 512;

// A position a stand can stand at: finite, on the globe, and not the 0/0 that
// a file without coordinates reads as.
bool usablePosition(double latitude, double longitude) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude)) return false;
    if (std::fabs(latitude) > 90.0 || std::fabs(longitude) > 180.0) return false;
    return latitude != 0.0 || longitude != 0.0;
}

std::vector<LearnedFlight> readFlights(const pugi::xml_node& parkpos, FlightSource source) {
    std::vector<LearnedFlight> flights;
    const auto opts = parkpos.children("opt");
    flights.reserve(static_cast<std::size_t>(std::distance(opts.begin(), opts.end())));
    for (const pugi::xml_node opt : opts) {
        const char* hh = opt.attribute("hh").as_string();
        const unsigned day = opt.attribute("day").as_uint(0);
        if (*hh == '\0' || day < 1 || day > 7) continue;
        OptIdentity identity = lf_readOpt(opt);
        flights.push_back({.ids = identity.ids,
                           .registration = opt.attribute("reg").as_string(),
                           .callsign1 = std::move(identity.callsign1),
                           .callsign2 = std::move(identity.callsign2),
                           .hours = gf_hours2bitset(hh),
                           .ordinal = static_cast<std::uint32_t>(flights.size() + 1),
                           .day = day,
                           .source = source,
                           .real = !opt.attribute("soft").as_bool(false),
                           .cpl = opt.attribute("cpl").as_bool(false)});
    }
    return flights;
}

bool existsQuietly(const fs::path& file) {
    std::error_code ec;
    return fs::exists(file, ec);
}

}  // namespace

pugi::xml_node parkPositionsOf(const pugi::xml_node& document) {
    const pugi::xml_node root = document.child("root");
    return (root ? root : document).child("parkpositions");
}

void lf_checkStands(const pugi::xml_node& document, std::vector<Stand>& stands) {
    HeldLogLines log(HeldLogLines::Timing::now);
    readStandsInto(document, stands, log);
}

void lf_readStands(const pugi::xml_node& parkpos, const std::string& id, FlightSource source,
                   std::vector<Stand>& stands) {
    HeldLogLines log(HeldLogLines::Timing::now);
    readStandInto(parkpos, id, source, stands, log);
}

void readStandsInto(const pugi::xml_node& document, std::vector<Stand>& stands, HeldLogLines& log) {
    const pugi::xml_node positions = parkPositionsOf(document);
    if (!positions) return;
    std::unordered_set<std::string_view> seen;
    seen.reserve(kIdRoom);
    int number = 0;
    for (const pugi::xml_node parkpos : positions.children("parkpos")) {
        ++number;
        const pugi::xml_attribute idAttribute = parkpos.attribute("id");
        if (!idAttribute) {
            throw UserErrorException(kStandWithoutIdCode,
                                     fmt::format("Parking position #{} has no '{}' attribute.", number, "id"));
        }
        const std::string_view id = trimView(idAttribute.as_string());
        if (id.empty())
            throw UserErrorException(kStandWithoutIdCode,
                                     fmt::format("Stand #{} has empty '{}' attribute.", number, "id"));
        if (!seen.insert(id).second)
            throw UserErrorException(kRepeatedStandIdCode, fmt::format("Stand '{}' appears more than once.", id));
        readStandInto(parkpos, std::string(id), FlightSource::standFile, stands, log);
    }
}

void readStandInto(const pugi::xml_node& parkpos, const std::string& id, FlightSource source,
                   std::vector<Stand>& stands, HeldLogLines& log) {
    const double latitude = parkpos.attribute("latitude").as_double(0.0);
    const double longitude = parkpos.attribute("longitude").as_double(0.0);
    if (!usablePosition(latitude, longitude)) {
        log.attention(fmt::format("stand {} has no valid lat/lon", id));
        return;
    }
    const double radiusMetres = parkpos.attribute("radius").as_double(0.0);
    const double headingDegrees = parkpos.attribute("heading").as_double(0.0);
    // Types beyond 16 bits wrap, as the simulator's own records hold them.
    const auto type = static_cast<std::uint16_t>(parkpos.attribute("type").as_int(0));
    const bool cargoAndRamp = type == 0;
    const StandKind kind{.type = type,
                         .cargo = cargoAndRamp && parkpos.attribute("cargo").as_bool(false),
                         .ramp = cargoAndRamp && parkpos.attribute("ramp").as_bool(false),
                         .heli = parkpos.attribute("heli").as_bool(false)};
    lf_emplaceStand(stands, Stand(id, readFlights(parkpos, source),
                                  {.latitude = latitude, .longitude = longitude, .heading = headingDegrees * kDegToRad},
                                  radiusMetres, kind));
}

OptIdentity lf_readOpt(const pugi::xml_node& opt) {
    OptIdentity identity;
    const std::string_view cs = opt.attribute("cs").as_string();
    const auto colon = cs.find(':');
    identity.callsign1 = std::string(cs.substr(0, colon));
    if (colon != std::string_view::npos) identity.callsign2 = std::string(cs.substr(colon + 1));

    const std::string_view registration = opt.attribute("reg").as_string();
    if (const auto record = gf_findDbaseRecord(registration)) {
        identity.ids = record->key;
        identity.ids.marker = 1;
    } else {
        identity.ids = lf_readOptIds(opt);
    }
    return identity;
}

DbaseKey lf_readOptIds(const pugi::xml_node& opt) {
    return {.airlineId = gf_airlineId(opt.attribute("airl").as_string()),
            .operatorId = 0,
            .modelId = gf_modelId(opt.attribute("type").as_string()),
            .cargo = 0,
            .marker = 0};
}

std::string lf_apfXmlName(const FixedCode4& icao) { return fmt::format("{}.xml", gf_fixedCodeView(icao)); }

fs::path gf_apfXmlFileName(const FixedCode4& icao) { return pathFromUtf8(lf_apfXmlName(icao)); }

fs::path lf_apfTxtFileName(const FixedCode4& icao) {
    return pathFromUtf8(fmt::format("{}.txt", gf_fixedCodeView(icao)));
}

const AirportRec* listedAirport(const FixedCode4& icao) {
    const auto& list = airportList();
    const auto it = std::lower_bound(list.begin(), list.end(), icao,
                                     [](const AirportRec& a, const FixedCode4& c) { return a.icao < c; });
    return it != list.end() && it->icao == icao ? &*it : nullptr;
}

bool gf_hasUserAddonApf(const FixedCode4& icao) {
    const fs::path xml = gf_apfXmlFileName(icao);
    const fs::path txt = lf_apfTxtFileName(icao);
    for (const fs::path& folder : {kMyThirdpartyFolder, kMySimaddonFolder}) {
        if (existsQuietly(folder / xml) || existsQuietly(folder / txt)) return true;
    }
    const AirportRec* listed = listedAirport(icao);
    return listed != nullptr && listed->standCount >= 1;
}

}  // namespace qvl
