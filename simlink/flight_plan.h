// Flight plans of AI aircraft. The simulator routes an AI aircraft only
// through a flight-plan file, so every created live aircraft gets a small
// AceXML plan naming its flight rules, departure and destination, in a
// folder of the program's own. A plan is named after the aircraft's
// simulator object id and lives as long as the aircraft.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

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
// with its missing parents. A failure to create is logged, not thrown.
// True when the folder exists afterwards. An error other than "not found"
// while testing the folder throws std::filesystem::filesystem_error.
bool gf_createFlightPlanFolder(FlightPlanFolder& folder);
// The folder with all its contents, when one is set; an error is logged.
void gf_removeFlightPlanFolder(const FlightPlanFolder& folder);

// "<folder>/<object id>.pln".
std::filesystem::path lf_flightPlanPath(const FlightPlanFolder& folder, std::uint32_t objectId);

// The whole plan file: UTF-8 without BOM, lines ending in "\n", the file
// ending in an empty line.
std::string flightPlanText(const FlightPlanFields& fields);

// Writes the plan (created or truncated). False, with a log line, when the
// file cannot be opened or a write, flush or close fails.
bool lf_writeFlightPlan(const std::filesystem::path& file, const FlightPlanFields& fields);

}  // namespace qvl
