// Flight plans of AI aircraft. The simulator routes an AI aircraft only
// through a flight-plan file, so every created live aircraft gets a small
// AceXML plan naming its flight rules, departure and destination, in a
// folder of the program's own. A plan is named after the aircraft's
// simulator object id and lives as long as the aircraft.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>

#include "core/file_writer.h"

namespace qvl {

// The folder "orig_dest" under the product folder, once created for the run.
// Owned by the program; the start-up sets it, the engine and the closing
// down read it.
class FlightPlanFolder {
public:
    [[nodiscard]] std::filesystem::path path() const;
    void set(std::filesystem::path folder);
    // Forgets the folder (empty path).
    void reset();

private:
    mutable std::mutex mutex_;  // a leaf lock: guards `folder_`
    std::filesystem::path folder_;
};

enum class FlightRules : std::uint8_t { vfr, ifr };

// What a plan says of one flight. A code is three characters; an empty view
// is an unknown airport and is written as three blanks.
struct FlightPlanFields {
    FlightRules rules = FlightRules::vfr;
    std::string_view origin;
    std::string_view destination;
};

// Builds <product folder>/orig_dest, stores it in `folder` and creates it
// with its missing parents. A folder that an earlier run left (a run that
// was killed keeps its plans) is first moved aside, as at the end of a run.
// A failure to create or to move is logged, not thrown. True when the
// folder exists afterwards. An error other than "not found" while testing
// the folder throws std::filesystem::filesystem_error.
bool gf_createFlightPlanFolder(FlightPlanFolder& folder);
// The end of a run's folder, when one is set: one rename moves it, with its
// plans, into the folder of ended plans, so that the end of the run does
// not wait for the disk file by file; removeEndedPlans removes them later,
// away from the close. True when moved or when there is nothing to move;
// otherwise the folder stays for the next start, with a log line.
bool gf_removeFlightPlanFolder(const FlightPlanFolder& folder);

// The folder of ended plans: "orig_dest-ended" beside the flight-plan
// folder, a name of the program's own. A run's folder becomes it in one
// rename when it is free, else a numbered folder inside it.
std::filesystem::path endedPlansFolder(const std::filesystem::path& planFolder);

// Removes everything the folder holds, entry by entry through `layer` (a
// file, a link or an emptied folder, each one operation), depth first and
// never through a link; `stop` ends it between two entries. The first
// error; none when everything went or when stopped.
std::error_code removeFolderContents(const std::filesystem::path& folder, FileLayer& layer,
                                     const std::stop_token& stop);
// The folder of ended plans with all it holds, through `layer`, when it is a
// folder (a file or a link of that name is no folder of ours and stays).
// A folder moved in meanwhile keeps it in place for the removal after it.
std::error_code removeEndedPlans(const std::filesystem::path& endedFolder, FileLayer& layer,
                                 const std::stop_token& stop);

// "<folder>/<object id>.pln".
std::filesystem::path lf_flightPlanPath(const FlightPlanFolder& folder, std::uint32_t objectId);

// The whole plan file: UTF-8 without BOM, lines ending in "\n", the file
// ending in an empty line.
std::string flightPlanText(const FlightPlanFields& fields);

// Writes the plan (created or truncated). False, with a log line, when the
// file cannot be opened or a write, flush or close fails.
bool lf_writeFlightPlan(const std::filesystem::path& file, const FlightPlanFields& fields);

}  // namespace qvl
