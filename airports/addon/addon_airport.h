// What becomes of each add-on airport the scan finds: an airport that the
// maker's archive holds is linked to it by a link file, any other gets its
// own airport file, generated from the stands read for it (from its BGL file
// or the simulator's facility data). Also the detection of an airport's code
// from a BGL file, and the leftover pass over the BGL files of a scan folder
// from which no airport was taken.
//
// Everything here runs on the scan's own thread (the driver): link files and
// airport files are written there only, one after the other, so two BGL files
// of one airport never write at the same time. The only state shared with
// other threads is the scan log and the BGL file lists of AirportsScanState.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "airports/addon/addon_scan_state.h"
#include "airports/addon/publishers.h"
#include "airports/facility/facility_parking_source.h"
#include "airports/stand.h"
#include "core/fixed_code.h"

namespace qvl {

// The user error when the simulator's facility data cannot be read.
inline constexpr int kFacilityDataUnavailableCode = 779;

// What the add-on airport steps are given.
struct AddonAirportParts {
    AirportsScanState& scan;
    std::int32_t simNumber = 1;  // the chosen simulator: 1 MSFS 2020, 2 MSFS 2024
};

enum class LinkOutcome : std::uint8_t {
    linked,          // the link file names the archived airport file
    notArchived,     // no publisher, or the archive lacks the airport
    linkNotWritten,  // archived, but the link file could not be written
};

struct ArchiveLink {
    LinkOutcome outcome = LinkOutcome::notArchived;
    std::int32_t archivedStands = 0;  // the archived file's stand count, when the archive gives it

    [[nodiscard]] bool linked() const noexcept { return outcome == LinkOutcome::linked; }
};

// Links the airport to the maker's archive when the archive holds it. Sets
// the record's BGL path to `path` (its BGL file, or the package folder of a
// streamed package), and, when the record has no publisher yet, fills
// publisher, manufacturer, creator and title from the publisher search.
[[nodiscard]] ArchiveLink link2archive(const AddonAirportParts& parts, ApfRecord& record,
                                       const std::optional<PublisherInfo>& details, const std::filesystem::path& path);

// "archive/simaddon/<ICAO>.xml" when the chosen simulator's archive holds the
// simulator add-on airport.
[[nodiscard]] std::optional<std::string> lf_existsAsSimaddon(const AddonAirportParts& parts, const FixedCode4& icao);
// "archive/thirdparty/<publisher, blanks as %20>/<ICAO>.xml" when the chosen
// simulator's archive lists the airport under exactly this publisher; the
// archived stand count goes to `archivedStands`.
[[nodiscard]] std::optional<std::string> lf_existsAsThirdparty(const AddonAirportParts& parts,
                                                               std::string_view publisher, const FixedCode4& icao,
                                                               std::int32_t& archivedStands);

enum class AirportFileOutcome : std::uint8_t {
    written,   // airports/my_simaddon or my_thirdparty holds <ICAO>.xml
    noStands,  // nothing to write
    failed,    // the file could not be written (a scan-log line says so)
    closing,   // the run began closing while the simulator was asked: stop
};

// Writes the record's stands, sorted by id, as the generated airport file of
// its publisher's folder. A folder that cannot be created throws
// std::filesystem::filesystem_error.
AirportFileOutcome lf_generateAirportFile(const AddonAirportParts& parts, ApfRecord& record, std::int32_t helipads);

// Reads the airport's stands from the simulator's facility data and writes
// its airport file. An airport without stand or helipad gets a scan-log line
// and no file. When the data cannot be read at all (no connection, a request
// that fails) the scan log is written out and UserErrorException
// kFacilityDataUnavailableCode is thrown.
AirportFileOutcome generateFromFacilityData(const AddonAirportParts& parts, FacilityParkingSource& facilities,
                                            ApfRecord& record);

struct DetectedAirport {
    std::optional<FixedCode4> icao{};
    // The package manifest's details, when the detection read them.
    std::optional<PublisherInfo> manifest{};
};

// The airport's code from the BGL file's stem, else from its manifest's
// title, else (only with a manifest) from "-ICAO-" in the path.
[[nodiscard]] DetectedAirport lf_detectAirportICAO(AirportsScanState& state, const std::filesystem::path& bglFile);

struct LeftoverPassCounts {
    std::size_t unread = 0;     // files opened but not handled
    std::size_t inFlight = 0;   // of those, still being read and left out
    std::size_t linked = 0;     // linked to the archive
    std::size_t generated = 0;  // airport files written from facility data
    std::size_t noStands = 0;   // facility data without stand or helipad
};

// The leftover pass, once the folder's BGL tasks are done or given up: every
// BGL file opened but not handled (and not in `inFlight`, the files whose
// tasks still run) is detected, linked, or generated from the facility
// data. Holds both BGL list mutexes throughout and empties both lists at
// its end. Throws UserErrorException kFacilityDataUnavailableCode (the lists
// keep their content) when the facility data cannot be read.
LeftoverPassCounts lf_processAddonAirport(const AddonAirportParts& parts, FacilityParkingSource& facilities,
                                          const std::set<std::filesystem::path>& inFlight);

}  // namespace qvl
