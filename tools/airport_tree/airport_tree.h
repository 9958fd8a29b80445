// Generated simulator install folders for the add-on airports scan, each with
// what a scan of it must give.
//
// A tree is the simulator's packages folder (the install path): "Community"
// with BGL packages and manifests, "Official" (MSFS 2020: the simulator
// makers' own airports) or "Official2024" plus "StreamedPackages" (MSFS 2024:
// streamed airport packages, judged by their folder names). The BGL files are
// written by the BGL writer from record specs; the stand ids the expectation
// names are written down from the layout's naming rules, never taken from the
// reader.
//
// The expectation holds for a scan of the install folder exactly as given to
// the generator (the scan's paths must spell it the same way), with the
// reference data of the expectation (its airport list and dbase.xml; for the
// demo preset the shipped data/ files) and, where the tree has airports that
// only the simulator's facility data can give, the stand-in simulator
// configured with `reference.facilityAirports`.
//
// Presets:
// - full: every case of the scan (linked and generated airports, publishers
//   from paths and manifests, stop-word folders, a leftover BGL file served by
//   the facility data, and for MSFS 2024 streamed packages);
// - bench: `fileCount` BGL files of about 1 KB, `airportFiles` of them with
//   one airport of 50 to 2,000 parkings, a manifest per package, no
//   facility-data fallback; optionally `streamedPackages` streamed packages;
// - demo: the demonstration's airports (MSFS 2020, the shipped reference
//   data), added beside an existing Community folder: one add-on airport
//   package in Community (Bratislava) and the simulator's own package of the
//   user's airport in Official (Vienna, with the stands the demonstration's
//   traffic parks on).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "platform/sim/stand_in.h"

namespace qvl::airport_tree {

enum class Preset : std::uint8_t { full, bench, demo };
enum class Simulator : std::uint8_t { msfs2020, msfs2024 };

// "full", "bench", "demo".
std::optional<Preset> presetFromName(std::string_view name);
// "2020" or "2024" (also "MSFS 2020", "MSFS 2024").
std::optional<Simulator> simulatorFromName(std::string_view name);
// The value of SIM_CHOICE for the simulator: "MSFS 2020" or "MSFS 2024".
std::string_view simChoiceText(Simulator simulator);
// The stand-in simulator's name for it ("KittyHawk" or "SunRise").
std::string_view standInSimulatorName(Simulator simulator);

struct TreeOptions {
    Simulator simulator = Simulator::msfs2020;
    std::size_t fileCount = 20000;      // bench: BGL files in Community
    std::size_t airportFiles = 500;     // bench: of those, files with an airport
    std::size_t minParkings = 50;       // bench: parkings of the smallest airport
    std::size_t maxParkings = 2000;     // bench: parkings of the largest airport
    std::size_t filesPerPackage = 40;   // bench: BGL files per Community package
    std::size_t streamedPackages = 0;   // bench: streamed packages (MSFS 2024 only)
    std::size_t streamedParkings = 20;  // bench: facility parkings per streamed airport
};

// A line of the scan log that must appear (or a text that must not), with
// the rule that makes it so.
struct ExpectedLine {
    std::string text{};
    std::string rule{};
};

// A link file, its path relative to the program's working folder
// ("airports/my_thirdparty/EGLL.txt"), and its exact bytes.
struct ExpectedLink {
    std::filesystem::path file{};
    std::string content{};
};

// A generated stand file, its path relative to the working folder.
struct ExpectedStandFile {
    std::filesystem::path file{};
    std::vector<std::string> ids{};  // sorted in byte order, as the file holds them
    std::int32_t helipads = 0;
    std::string publisher{};  // its "publisher" parameter (empty: none known)
    std::string note{};

    [[nodiscard]] std::size_t standCount() const { return ids.size(); }
};

// An airport that the BGL reader must give for a file.
struct ExpectedBglAirport {
    std::string icao{};
    std::vector<std::string> standIds{};  // sorted in byte order
    std::int32_t helipads = 0;
};

struct BglFileExpectation {
    std::filesystem::path path{};
    // False for files the walk must never hand to a task: a wrong extension,
    // a stop-word folder, no airport section.
    bool taken = true;
    bool hasAirportSection = true;
    // What the reader gives for the file, in file order; empty when it holds
    // no airport of the list (or cannot be read).
    std::vector<ExpectedBglAirport> airports{};
    std::string note{};
};

// What the scan needs besides the tree.
struct ReferenceData {
    // Plain airports.xml and dbase.xml, to be encrypted into input/ as
    // airports.enc and dbase.enc; empty for the demo preset (the shipped
    // data/ files are meant).
    std::string airportsXml{};
    std::string dbaseXml{};
    // The stand-in simulator's facility data, for StandInConfig::airports.
    std::vector<sim::FacilityAirport> facilityAirports{};
    // The same as scenario-file lines ("airport = ...", "parking = ...",
    // "helipad = ..."), each ending in "\n".
    std::string scenarioText{};
};

struct TreeExpectation {
    Preset preset = Preset::full;
    Simulator simulator = Simulator::msfs2020;
    std::filesystem::path installFolder{};
    // The folders the scan searches, in its order.
    std::vector<std::filesystem::path> scanFolders{};
    ReferenceData reference{};

    std::vector<BglFileExpectation> bglFiles{};
    std::vector<std::filesystem::path> streamedPackages{};
    // Exactly these link and generated files stand in airports/my_simaddon
    // and airports/my_thirdparty after the scan.
    std::vector<ExpectedLink> linkFiles{};
    std::vector<ExpectedStandFile> standFiles{};
    // The entries of tblo/tblo.zip; empty: the scan leaves no tblo folder.
    std::set<std::string> tbloFiles{};
    // Lines the scan log must hold (each an entry as added, compared whole),
    // and texts that must occur in none of its entries.
    std::vector<ExpectedLine> scanLogLines{};
    std::vector<ExpectedLine> absentScanLogTexts{};
    // Regular files in airports/my_simaddon and airports/my_thirdparty after
    // the scan (link and stand files together).
    std::size_t simaddonFiles = 0;
    std::size_t thirdpartyFiles = 0;
    // MSFS 2024: files in airports/my_simaddon when the streamed search ends
    // (its status count); 0 for MSFS 2020.
    std::size_t simaddonFilesAfterStreamed = 0;
};

enum class TreeError : std::uint8_t {
    badFolder,    // the folder is not empty, or its path would change what the scan does
    badOptions,   // options the preset cannot honour
    writeFailed,  // the file system refused a file or folder
};

// Writes the preset's tree into `installFolder` and gives its expectation.
// full and bench: the folder must not exist or be empty. demo: the folder
// may hold a Community folder already (the demonstration's liveries); only
// the two airport packages must be new.
Result<TreeExpectation, TreeError> generateTree(Preset preset, const std::filesystem::path& installFolder,
                                                const TreeOptions& options = {});

// The expectation as text files in `folder`: links.txt (path, tab, content
// with "\n" written as "\\n"), stand_files.txt (path, tab, count, tab,
// helipads, tab, ids joined by ","), tblo.txt, scan_log.txt (rule, tab,
// line), airports.xml, dbase.xml and scenario.txt when the preset has them.
Result<void, TreeError> writeExpectation(const TreeExpectation& expectation, const std::filesystem::path& folder);

}  // namespace qvl::airport_tree
