// Learned files: what the program has seen at an airport, in the stand-file
// format (learned mode), under airports/learned. Read on top of the stands
// that the airport's own stand file gave: flights learned at its stands,
// radii and cargo marks the engine had to change, stands the user made by
// hand, and the parking settings in force there. A handmade learned file
// replaces the stand file's stands altogether.
#pragma once

#include <pugixml.hpp>

#include <array>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "airports/stand_log.h"
#include "core/range_control.h"
#include "core/status.h"
#include "core/version.h"

namespace qvl {

// Learned files written before this version keep their settings, manual
// stands and changes, but not their flights.
inline constexpr VersionRecord kLearnedFlightsSince{.major = 11, .minor = 10, .patch = 0};

// Reads the learned file into the park airport's stands and the settings,
// reporting each setting it changes to the status. Every problem is logged;
// what was applied before it stays. A file that is refused (it does not
// load, its meta block is refused, or its reading fails) is kept as one
// older generation and marks the park airport's learned file refused, so
// that leaving the airport does not write over it.
void lf_readLearned(const std::filesystem::path& learnedPath, LoadedParkAirport& park, RangeControl& range,
                    Status& status);

// A learned file as it was loaded, off the main loop.
struct LearnedDocument {
    pugi::xml_document document;
    pugi::xml_parse_result parsed;
};
[[nodiscard]] LearnedDocument loadLearnedDocument(const std::filesystem::path& learnedPath);

// The same for a learned file loaded before.
void lf_readLearned(const std::filesystem::path& learnedPath, const LearnedDocument& loaded, LoadedParkAirport& park,
                    RangeControl& range, Status& status);

// A learned file's read split in two: what needs none of the program's
// state (the stands merged, the lines held) is built where the file was
// read, and the main loop then takes it in: its settings, the refusal of a
// bad file, and the held lines in the order of a read in one go.
struct LearnedBuild {
    enum class Outcome : std::uint8_t {
        notLoaded,  // the file did not parse: refused
        refused,    // its meta block is refused
        read,       // read; a failure of its own is told below
    };
    Outcome outcome = Outcome::notLoaded;
    std::string why;  // what refused it
    // From the version check; a failure there refuses the file, the stands untouched.
    HeldLogLines versionLines{HeldLogLines::Timing::held};
    std::exception_ptr versionFailure;
    // From the handmade stands and the merge, taken in after the settings.
    bool handmade = false;
    HeldLogLines standLines{HeldLogLines::Timing::held};
    std::exception_ptr standFailure;
    // The counts of the lines left out, at the end.
    HeldLogLines countLines{HeldLogLines::Timing::held};
};
// Merges the file into the stands, which are the stand file's.
[[nodiscard]] LearnedBuild buildLearned(const std::filesystem::path& learnedPath, const LearnedDocument& loaded,
                                        std::vector<Stand>& stands);
// The main loop's part: `park` holds the built stands already.
void takeLearned(const std::filesystem::path& learnedPath, const LearnedDocument& loaded, LearnedBuild& build,
                 LoadedParkAirport& park, RangeControl& range, Status& status);

// The problem lines of one learned file's read. Of each kind the first few
// are written and the rest only counted, told in one line at the end: a
// damaged or hand-made file may repeat one flight a million times.
class LearnedLines {
public:
    enum class Kind : std::uint8_t {
        repeatedFlight,    // a flight the stand has already
        emptyHours,        // a flight without half hours
        unreadableHours,   // a flight whose half-hour text has bad pieces
        unknownStand,      // a parkpos of no stand
        manualExists,      // a manual stand whose id is taken
        manualIncomplete,  // a manual stand without a place or radius
        badRadius,         // a radius change without a usable radius
    };
    static constexpr std::size_t kKinds = 7;
    // Lines of one kind written before the rest are only counted.
    static constexpr std::uint32_t kWrittenPerKind = 5;

    // The lines go to `log`.
    LearnedLines(std::string pathText, HeldLogLines& log) : pathText_(std::move(pathText)), log_(log) {}

    [[nodiscard]] HeldLogLines& log() { return log_; }

    // True when a line of this kind is still to be written (the caller
    // writes it); false when it is only counted.
    [[nodiscard]] bool admit(Kind kind);
    // One line to `log` for each kind with lines that were only counted.
    void logCounts(HeldLogLines& log) const;

private:
    std::string pathText_;
    HeldLogLines& log_;
    std::array<std::uint64_t, kKinds> seen_{};
};

// One parkpos of a learned file, for the stand it belongs to.
struct LearnedStandEntry {
    std::string_view id;
    pugi::xml_node parkpos;
    bool oldVersion = false;  // the file is older than kLearnedFlightsSince
    LearnedLines& lines;
};

// False when the stand is not the parkpos's; otherwise merges the parkpos's
// changes and new flights into the stand and answers true.
bool lf_mergeLearnedFlights(const LearnedStandEntry& entry, Stand& stand);

}  // namespace qvl
