// Generated package folders for the liveries scan, each with what a scan of
// it must give.
//
// A tree is a Community folder: the AI packages the automatic scan detects
// (AIG, FSLTL, Just Flight, IVAO MTL, user-aitraffic), each with aircraft.cfg
// files. Beside the tree the generator returns its expectation: per
// aircraft.cfg the liveries and problem lines its readers give, and for the
// whole scan the records of LiveriesScanned.xml and the lines of the problem
// files. The expectation holds for an automatic scan with the default package
// order "AIG, FSLTL, JF, MTL" (folder indices 1 to 5, user-aitraffic last), of
// the Community folder path exactly as given to the generator (the walk's
// length limit counts the bytes of the full path), against the reference
// database of referenceDbaseXml().
//
// Presets:
// - full: every header, key and texture case the readers know, every text
//   encoding, and the shapes the walk must handle (a symlink loop, a link to
//   a folder, a path at the length limit, stop-word and "_CVT_" folders);
// - bench: `fileCount` files of `sectionsPerFile` sections, one section in
//   ten a private aircraft without registration;
// - demo: the demonstration's one installed livery, for the shipped database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace qvl::livery_tree {

enum class Preset : std::uint8_t { full, bench, demo };

// "full", "bench", "demo".
std::optional<Preset> presetFromName(std::string_view name);

struct TreeOptions {
    std::size_t fileCount = 10000;     // bench only
    std::size_t sectionsPerFile = 10;  // bench only
};

// One record as LiveriesScanned.xml holds it, codes as texts; the folder
// index is the one the scan gives (not stored in the file).
struct ExpectedLivery {
    std::string title{};
    std::string registration{};
    std::string airline{};
    std::string secondAirline{};  // empty: none
    std::string model{};
    bool cargo = false;
    std::int16_t folderIndex = 0;

    friend bool operator==(const ExpectedLivery&, const ExpectedLivery&) = default;
};

// The six problem lists, one line per entry, UTF-8, without line ends.
struct ProblemLines {
    std::vector<std::string> invalidAirlineCodes;  // errors/InvalidAirlineCodes.txt
    std::vector<std::string> invalidModelCodes;    // errors/InvalidAircraftCodes.txt
    std::vector<std::string> modelFixes;           // errors/Fixes.txt
    std::vector<std::string> invalidCfgFiles;      // errors/InvalidAircraftCfgFiles.txt
    std::vector<std::string> incompleteSections;   // errors/IncompleFltsimSections.txt
    std::vector<std::string> noFltsimFiles;        // info/AircraftCfgWithNoFltsimSection.txt

    friend bool operator==(const ProblemLines&, const ProblemLines&) = default;
};

// Which worker reads a file: the IVAO one below an IVAO package.
enum class CfgReader : std::uint8_t { ordinary, ivao };

struct CfgFileExpectation {
    std::filesystem::path path;  // as the scan's walk reaches it (through links)
    CfgReader reader = CfgReader::ordinary;
    std::int16_t folderIndex = 0;
    // False for files the walk must pass over (below a stop word, "_CVT_",
    // a folder at the length limit, a name that is no aircraft.cfg); their
    // liveries and problems are empty, as the scan must leave them.
    bool walked = true;
    std::string note;                      // what the file exercises
    std::vector<ExpectedLivery> liveries;  // in file order
    ProblemLines problems;                 // in the order the file adds them
};

// The shapes of the tree that the walk must cope with.
struct TreeShapes {
    std::filesystem::path symlinkLoop;      // a link to its own parent folder
    std::filesystem::path folderLink;       // a link to a folder outside the packages
    std::filesystem::path enteredLongPath;  // a folder whose full path has 249 bytes
    std::filesystem::path skippedLongPath;  // a folder whose full path has 250 bytes
    // 250 bytes but only 249 characters: the limit counts UTF-8 bytes.
    std::filesystem::path skippedMultibyteLongPath;
    std::filesystem::path cvtPackageCopy;   // a package copy the detector must skip
    std::filesystem::path cvtAircraftCopy;  // an aircraft copy the walk must skip
    std::filesystem::path stopWordFolder;   // an aircraft folder named after a scenery maker
};

struct TreeExpectation {
    Preset preset = Preset::full;
    std::filesystem::path community;
    // The package folders in scan order: the folder index of the n-th is n.
    std::vector<std::filesystem::path> packageFolders;
    // Titles the scan reads as "don't use" (myRegcodesText() holds them).
    std::vector<std::string> dontUseTitles;
    std::vector<CfgFileExpectation> files;
    TreeShapes shapes;

    // The records of LiveriesScanned.xml: sorted by airline, second airline,
    // model and title, repeated records removed; with `prioritized` (the
    // setting's default) a record is left out when a lower folder index has
    // one of the same airline, second airline and model.
    [[nodiscard]] std::vector<ExpectedLivery> scannedLiveries(bool prioritized) const;
    // The lines of the problem files as the scan writes them: sorted, the
    // incomplete sections without repeats. Fixes.txt keeps the order in
    // which the files were found, which depends on the scan's workers;
    // here it is sorted, so compare it as a set.
    [[nodiscard]] ProblemLines problemFiles() const;
};

enum class TreeError : std::uint8_t {
    badFolder,    // the folder exists and is not empty, or its path cannot hold the cases
    writeFailed,  // the file system refused a file, folder or link
};

// Writes the preset's tree into `community` (created; it must not exist or
// be empty) and gives its expectation.
Result<TreeExpectation, TreeError> generateTree(Preset preset, const std::filesystem::path& community,
                                                const TreeOptions& options = {});

// The reference database the expectation assumes, as plain dbase.xml; for
// the demo preset the shipped database (data/dbase.xml) is meant, and this
// gives the empty text.
std::string referenceDbaseXml(Preset preset);

// The "don't use" titles as a file of input/my_regcodes (one title a line).
std::string myRegcodesText(const TreeExpectation& expectation);

// The expectation as text files in `folder`: LiveriesScanned.txt (one record
// a line, tab-separated: airline, second airline, model, cargo, title,
// registration, folder index), one file per problem list under its file's
// name, dbase.xml and my_regcodes/livery_tree.txt when the preset has them.
Result<void, TreeError> writeExpectation(const TreeExpectation& expectation, const std::filesystem::path& folder,
                                         bool prioritized);

}  // namespace qvl::livery_tree
