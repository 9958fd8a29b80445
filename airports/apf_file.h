// Airport (stand) files: "<ICAO>.xml", the stands of one airport in XML.
//   <root><meta>...</meta>
//     <parameters><parameter name="airport_name" value="..."/>...</parameters>
//     <parkpositions><parkpos id="A1" latitude=... ><opt reg=... hh="3:5" .../></parkpos>...
//   </root>
// Two kinds are written: a generated file holds the whole geometry of every
// stand of an installed add-on airport; a learned file holds, per stand, what
// differs from the airport's own file and the flights learned there, plus
// the parking settings in use at that airport.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "airports/stand.h"
#include "core/fixed_code.h"
#include "refdata/airports.h"

namespace qvl {

enum class ApfMode : std::uint8_t {
    learned = 0,    // changes, manual stands, learned flights and the parking settings
    generated = 1,  // full geometry of every stand, no flights
};

// The parking settings a learned file keeps, as they were in use there.
struct ApfParkingSettings {
    std::int32_t range = 0;
    bool autoRange = false;
    bool week = false;
    bool parkSoft = false;
    std::int32_t parkingPercentage = 0;
    bool initialLoadOnly = false;
    std::int32_t maxFit = 0;  // as the hours of MAX_FIT_FL give it
    std::int32_t maxLiveSel = 0;
};
// The settings in use now.
ApfParkingSettings currentApfParkingSettings();

struct ApfSaveOptions {
    ApfMode mode = ApfMode::learned;
    std::int32_t simNumber = 1;  // the meta block's "sim": 1 MSFS 2020, 2 MSFS 2024
    // The park airport's learned file replaced its stands (handmade rows and
    // the full geometry of unchanged stands are written).
    bool handmade = false;
    // A learned file's settings as taken when the save was asked for (a file
    // built later, on another thread, must not write the user's own settings
    // put back meanwhile); unset: those in use while it is built.
    std::optional<ApfParkingSettings> parkingSettings = std::nullopt;
};

// Writes the record to the target through a temporary file. False when the
// document cannot be built or saved, or the target is empty.
bool gf_saveApf(const ApfRecord& record, const std::filesystem::path& target, const ApfSaveOptions& options);
// The bytes gf_saveApf writes; none when the document cannot be built.
std::optional<std::string> apfBytes(const ApfRecord& record, const ApfSaveOptions& options);

// Appends "parameters" with its rows under root; false when it cannot.
bool lf_writeApfParameters(pugi::xml_node root, const ApfRecord& record, const ApfSaveOptions& options);

// The "parkpositions" element under root, or at the top when the file has
// no root; empty when there is none.
pugi::xml_node parkPositionsOf(const pugi::xml_node& document);

// The user errors of a stand file's stand ids.
inline constexpr int kStandWithoutIdCode = 93;   // a parkpos without id, or an empty one
inline constexpr int kRepeatedStandIdCode = 94;  // two stands of one id

// Reads every parkpos of the document into the list (source: stand file).
// A missing, empty or repeated id throws UserErrorException
// kStandWithoutIdCode or kRepeatedStandIdCode; the stands read before it
// stay in the list.
void lf_checkStands(const pugi::xml_node& document, std::vector<Stand>& stands);

// Appends one stand with its flights, each flight marked with the source. A
// stand without a usable position is logged and left out.
void lf_readStands(const pugi::xml_node& parkpos, const std::string& id, FlightSource source,
                   std::vector<Stand>& stands);

// A flight's identity from its opt: the ids and the two callsign parts.
struct OptIdentity {
    DbaseKey ids{.marker = 0};
    std::string callsign1;
    std::string callsign2;
};
OptIdentity lf_readOpt(const pugi::xml_node& opt);
// The ids of the opt's "airl" and "type" codes (has-value 0).
DbaseKey lf_readOptIds(const pugi::xml_node& opt);

std::string lf_apfXmlName(const FixedCode4& icao);                // "EHAM.xml"
std::filesystem::path gf_apfXmlFileName(const FixedCode4& icao);  // "EHAM.xml"
std::filesystem::path lf_apfTxtFileName(const FixedCode4& icao);  // "EHAM.txt"

// The airport's entry in the airport list, or nullptr.
const AirportRec* listedAirport(const FixedCode4& icao);

// True when the user has a stand file or link file of the airport in
// my_thirdparty or my_simaddon, or the airport list gives it stands.
bool gf_hasUserAddonApf(const FixedCode4& icao);

}  // namespace qvl
