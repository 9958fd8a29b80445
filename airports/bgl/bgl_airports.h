// Reading the airports of an add-on scenery's BGL file: the cheap look at
// the section table that decides whether a file is read at all, the file as
// little-endian words, and the walk of its airport records into airports
// with their parking stands and helipads.
//
// The reading only reads. It writes no file, links nothing and touches no
// program-wide state, so that one file's task can run on a scan worker and
// even outlive the scan. What it finds (the airports with their stands, and
// the lines for the scan log and Log.txt, in the order they arose) is merged
// by the scan's own thread, which also links or generates the stand files.
//
// What the scan's thread does with one BglFileFindings, in the order the
// tasks were started, to give the add-on airport processing its behaviour:
//   0. When it starts the task (not when it merges), it appends the path to
//      bglFilesOpened: a task that is given up after the pool's time-out
//      leaves its file to the leftover pass all the same.
//   1. For each airport of `airports`, in file order:
//      a. Write its `linesBefore` (writeBglLogLine; a scanLog line goes to
//         the scan log through lf_addScanLogLine).
//      b. link2archive(record, no manifest information, archived stand
//         count, the BGL path). Linked: append the path to bglFilesHandled
//         and take the next airport; its standLines are dropped, as its own
//         stands are not read when it is linked.
//      c. Not linked: write its `standLines`.
//      d. parkposLine(record, archived stand count): when it gives a line,
//         add it to the scan log and append the path to bglFilesHandled.
//      e. lf_generateAirportFile(record, helipads) (nothing is written for
//         a record without stands), then append the path to
//         bglFilesHandled: a file with a supported airport counts as
//         handled even when that airport had no stand.
//      When link2archive or lf_generateAirportFile throws, write the
//      attention line exceptionLine(path, what), skip the rest of the
//      file's airports and its linesAfter, and report the failure as a
//      failed task of the scan (its "futs inner" scan-log line); what was
//      handled before stays handled.
//   2. Write `linesAfter`. When `outcome` failed, the task caught an
//      exception: its attention line is the last of linesAfter already, and
//      the scan reports the failure's text as a failed task.
// A file counts as handled exactly when step b, d or e appended it; any
// other opened file is the leftover pass's.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "airports/stand.h"
#include "core/fixed_code.h"
#include "core/result.h"

namespace qvl {

// Record ids the reader knows; every other id is skipped by its size.
enum class BglRecordId : std::uint16_t {
    helipad = 0x0026,
    airport = 0x0056,
    taxiParking = 0x00E7,
};

inline constexpr std::uint32_t kBglHeaderSize = 56;
inline constexpr std::uint32_t kBglAirportSectionType = 3;

enum class BglLineKind : std::uint8_t {
    scanLog,       // a line of the airports scan log
    log,           // a Log.txt line
    logAndFlush,   // a Log.txt line, then a flush
    logAttention,  // a Log.txt attention line
};

struct BglLine {
    BglLineKind kind = BglLineKind::scanLog;
    std::string text{};
};

// One airport record of a supported airport.
struct BglAirport {
    // Lines of the file's walk between the previous airport (or the start
    // of the file) and this one.
    std::vector<BglLine> linesBefore{};
    // The code, the altitude (feet) and the stands, sorted by id in byte
    // order; every other field as a new record has it.
    ApfRecord record{};
    std::int32_t helipads = 0;
    // Lines from reading its stands; they belong in the logs only when the
    // airport is not linked to an archived stand file.
    std::vector<BglLine> standLines{};
};

// What the walk of one file's words found.
struct BglAirports {
    std::vector<BglAirport> airports{};  // in file order
    std::vector<BglLine> linesAfter{};   // after the last airport
};

struct BglReadContext {
    // Whether a code is an airport of the airport list; required.
    std::function<bool(const FixedCode4&)> isKnownAirport{};
    // The file's path as UTF-8, for the lines that name it.
    std::string bglPathText{};
};

// The bytes as little-endian words; a last partial word is padded with
// zero bytes.
std::vector<std::uint32_t> bglWordsFromBytes(std::span<const std::uint8_t> bytes);
// The whole stream as words (the stream is read to its end).
std::vector<std::uint32_t> lf_readBglWords(std::istream& in);

// Whether the section table names an airport section. Reads only the header
// and the section table; false for a file that cannot be opened or read.
bool lf_hasAirportSection(const std::filesystem::path& bglPath);
bool hasAirportSection(std::istream& in);

// The airport records of a file's words whose ident is an airport of the
// list. Never throws on any words (only when memory runs out).
[[nodiscard]] BglAirports readBglAirports(std::span<const std::uint32_t> words, const BglReadContext& context);

// The ident packed in a record: base 38 digits above the low 5 bits. None
// for an ident with a blank or a '?' in it, or of more than 10 characters.
std::optional<std::string> decodeBglIdentText(std::uint32_t raw);

struct BglTaskInput {
    std::filesystem::path bglPath{};
    // Null: the program's airport list, which is read-only once loaded and
    // lives as long as the process.
    std::function<bool(const FixedCode4&)> isKnownAirport{};
};

enum class BglFileError : std::uint8_t {
    readFailed,            // the task caught an exception while it read the file
    notLinkedOrGenerated,  // linking or generating one of its airports threw
};

struct BglFileFindings {
    std::filesystem::path bglPath{};
    bool opened = false;                 // the file could be opened and read
    std::vector<BglAirport> airports{};  // in file order
    std::vector<BglLine> linesAfter{};
    // Failed: the exception the task caught (its text); its attention line
    // is the last of linesAfter.
    Result<void, BglFileError> outcome{};
    // The processor time the task took.
    std::chrono::nanoseconds cpu{};
};

// The task of one BGL file on a scan worker: reads it and returns what it
// found. Never throws. A stop request after the read ends it with the
// findings so far.
[[nodiscard]] BglFileFindings lf_processBGLfile(const BglTaskInput& input, const std::stop_token& stop = {});

// The scan-log line of an unlinked airport with more stands than the
// archived stand count whose publisher is not "simaddon"; none otherwise.
std::optional<std::string> parkposLine(const ApfRecord& record, std::int32_t archivedStandCount);

// The attention line of an exception while one BGL file was handled.
std::string exceptionLine(const std::filesystem::path& bglPath, std::string_view what);

// Writes a Log.txt line; a scan-log line is not written here: false.
bool writeBglLogLine(const BglLine& line);

}  // namespace qvl
