// Loading the park airport: its stand file into the stand list, its learned
// file on top, the stands' neighbours and the airport's quality factors, the
// parking settings adjusted to it; and the user's settings put back when the
// airport is left.
#pragma once

#include <pugixml.hpp>

#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "airports/learned_file.h"
#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "airports/stand_log.h"
#include "core/current_park_airport.h"
#include "core/download.h"
#include "core/fixed_code.h"
#include "core/range_control.h"
#include "core/result.h"
#include "core/run_state.h"
#include "core/status.h"
#include "core/stoppable_task.h"

namespace qvl {

inline constexpr std::string_view kNoStandsFound = "no stands found";

struct ApfLoadRequest {
    std::string pathText;  // as gf_apfPathFor gave it
    FixedCode4 icao;       // the park airport

    friend bool operator==(const ApfLoadRequest&, const ApfLoadRequest&) = default;
};

// How long a read of a park airport's files waits for a save of its learned
// file still under way (the airport was left a moment ago). A save that
// hangs longer is not waited for: the read takes the file as it stands.
inline constexpr std::chrono::milliseconds kLearnedSaveWait{10000};

// What a read of a park airport's files waits for, and how long.
struct ApfReadBounds {
    std::chrono::milliseconds learnedSaveWait = kLearnedSaveWait;
};

// What the load sets beyond the park airport's own state.
struct ParkAirportLinks {
    // Whether its stands are loaded, and the traffic filter's reference elevation.
    CurrentParkAirportState& parkAirport;
    RangeControl& range;  // the automatic radius, for a learned file's settings
    // The parking settings the load adjusts, and "Flush static" once stands are loaded.
    Status& status;
    // A close ends the download of an archived stand file.
    const RunState& run;
    // The bounds of the read of the files when the load reads them itself.
    ApfReadBounds readBounds{};
};

// Why the park airport's stands are not loaded.
enum class ApfLoadError : std::uint8_t {
    notFound,  // the airport has no stand file
    noStands,  // the file was read but gave no stand
    failed,    // the file could not be used; the stand list is empty
};

// Done, or the error with the text the user reads beside it: kNoStandsFound
// without stands, otherwise the error ("65: Parameter altitude not found",
// "gf_readApf: ...").
using ApfLoadResult = Result<void, ApfLoadError>;

// Loads the park airport's stands.
ApfLoadResult gf_readApf(const ApfLoadRequest& request, LoadedParkAirport& park, const ParkAirportLinks& links);

// The stands a load builds from its read files where it read them: the
// stand file's, the learned file merged, numbered, with their neighbours;
// the main loop takes them in with their held lines.
struct ParkStandsBuild {
    HeldLogLines standLines{HeldLogLines::Timing::held};
    std::exception_ptr standFailure;  // the stand file's stands are refused
    std::optional<LearnedBuild> learned;
    QualityFactors learnedQualityFactors;  // of the stands with the learned file
    std::vector<Stand> stands;
    // The stands were taken in: a second load of these files builds anew.
    bool taken = false;
};

// What a load reads from disk and from the site, so that the main loop never
// waits for it: the stand file (fetched first when archived) and its learned
// file, both parsed, and the stands built from them. The read touches
// nothing of the program's state.
struct ApfFiles {
    ApfLoadRequest request;
    std::string error;  // the fetch failed, or the files could not be looked at
    std::filesystem::path source;
    std::shared_ptr<const pugi::xml_document> standFile;  // null: it did not load
    std::filesystem::path learnedPath;                    // empty: none
    std::shared_ptr<const LearnedDocument> learnedFile;   // null: no such file
    // Null when nothing was built: the load builds on its own thread.
    std::shared_ptr<ParkStandsBuild> stands;
};
[[nodiscard]] ApfFiles readApfFiles(const ApfLoadRequest& request, const DownloadStop& stop,
                                    const ApfReadBounds& bounds = {});

// The stands of the read files, built without the program's state.
[[nodiscard]] ParkStandsBuild buildParkStands(const ApfFiles& files);

// gf_readApf with the files read before.
ApfLoadResult applyApfFiles(const ApfFiles& files, LoadedParkAirport& park, const ParkAirportLinks& links);

// A load's files read on a thread of their own. The main loop asks each
// time it comes by. Asked for another airport (or after forget), a read
// still running is stopped, its download ends, and it is dropped once done;
// the new read does not wait for it. Used by one thread.
class ApfFilesRead {
public:
    explicit ApfFilesRead(ApfReadBounds bounds = {}) : bounds_(bounds) {}

    // True once the request's files are read; starts their read when none runs.
    [[nodiscard]] bool ready(const ApfLoadRequest& request);
    // The request's files when they are read.
    [[nodiscard]] std::optional<ApfFiles> take(const ApfLoadRequest& request);
    // A close: a download under way ends.
    void stop() { read_.stop(); }
    // What was read, or is being read, is not used: the files may change
    // before the next load (a learned file saved when the airport is left).
    void forget();

private:
    ApfReadBounds bounds_;
    std::optional<ApfLoadRequest> reading_;
    StoppableTask<ApfFiles> read_;
};

// Puts back the parking settings the user had before the park airport was
// loaded, saving each one that changes and reporting it. Nothing when none
// was loaded.
void gf_applyApfSettings(const LoadedParkAirport& park, Status& status);

QualityFactors gf_computeQualityFactors(const std::vector<Stand>& stands);
// "  " when undetermined, " 8/40" below 45, "63" from 45 on.
std::string gf_qualityFactorText(const QualityFactors& factors);

// Numbers the stands 1, 2, 3 ... in list order and lists each stand's
// overlapping neighbours (distance x 1.1 below the sum of the radii).
void numberStands(std::vector<Stand>& stands);
void linkNeighbours(std::vector<Stand>& stands);

// True when the stand file names its publisher, or a usable manufacturer or
// creator.
bool lf_readApfPublisherInfo(const std::filesystem::path& apfFile);
// The creator that the simulator's own airports carry.
bool lf_isKnownCreator(std::string_view text);

}  // namespace qvl
