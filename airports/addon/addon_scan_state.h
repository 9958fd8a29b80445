// What the pieces of one add-on airports scan share: the scan's own log,
// which ends up in AirportsScanLog.txt, the two lists of BGL files from which
// the leftover pass finds the files that gave no airport, and the count of
// files packed for the maker. Owned by the scan and passed by reference; a
// test builds a fresh one.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "core/fixed_code.h"
#include "core/paths.h"

namespace qvl {

inline const std::filesystem::path kAirportsScanLogFile = kInfoFolder / "AirportsScanLog.txt";

// Lines kept for the scan log before it grows.
inline constexpr std::size_t kScanLogReserve = 2048;

// A stand file this scan generated, as it was written: tblo.zip takes its
// bytes from here, and its publisher rows decide whether the maker gets it.
struct GeneratedStandFile {
    FixedCode4 icao{};
    std::string publisher{};
    std::string manufacturer{};
    std::string creator{};
    std::shared_ptr<const std::string> bytes{};
};

// An entry of the next tblo.zip: the file its bytes were written to, and
// the bytes.
struct TbloEntry {
    std::filesystem::path source{};
    std::shared_ptr<const std::string> bytes{};
};

struct AirportsScanState {
    // Lock order: bglPathsMutex, then bglHandledMutex, then scanLogMutex.
    // The leftover pass holds both list mutexes while it writes scan-log
    // lines; nobody takes a list mutex while holding the scan-log mutex.

    // Every BGL file a BGL task started on.
    std::mutex bglPathsMutex;
    std::vector<std::filesystem::path> bglFilesOpened;  // under bglPathsMutex

    // Every BGL file from which an airport was linked or generated.
    std::mutex bglHandledMutex;
    std::vector<std::filesystem::path> bglFilesHandled;  // under bglHandledMutex

    // The scan log's lines; each is written unchanged, followed by "\n".
    std::mutex scanLogMutex;
    std::vector<std::string> airportsScanLog;  // under scanLogMutex

    // Files packed into tblo.zip by the last packing; 0 when nothing was
    // packed. Read by the window when it paints.
    std::atomic<std::uint64_t> tbloFileCount{0};

    // The scan's own thread alone uses what follows.
    // Every file the scan writes goes through this batch; the scan's end
    // flushes it to the disk once.
    FileBatch files;
    // The stand files this scan generated that are still in their airport
    // folders, by path.
    std::map<std::filesystem::path, GeneratedStandFile> generatedFiles;
    // The entries of the next tblo.zip: file name -> bytes.
    std::map<std::string, TbloEntry> tbloEntries;
    // The files the airport folders held when the scan began and that it
    // has not produced again yet, with their sizes. Not touched by reset().
    std::map<std::filesystem::path, std::uintmax_t> earlierFiles;

    // Empty lists, the log reserved for kScanLogReserve lines, no generated
    // files, no tblo files.
    void reset();
};

// Appends a copy of the line to the scan log.
void lf_addScanLogLine(AirportsScanState& state, std::string text);
// Appends a task's lines in their order, under one lock.
void addScanLogLines(AirportsScanState& state, std::vector<std::string>&& lines);
// A copy of the scan log's lines.
[[nodiscard]] std::vector<std::string> scanLogLines(AirportsScanState& state);
void clearScanLog(AirportsScanState& state);

// Writes the whole scan log, each line followed by "\n", through a temporary
// file renamed over the target (in the scan's file batch) (output/info/AirportsScanLog.txt unless a
// test names another), creating its folder. False when it cannot.
bool writeScanLog(AirportsScanState& state, const std::filesystem::path& file = kAirportsScanLogFile);

// The airport folders' files stay where they are while a scan runs: a file
// the scan produces with the very bytes it holds is left untouched, any other
// is written as ever (a temporary renamed over it), and what the scan did not
// produce again is removed when the folder is settled. A rescan thus creates
// and deletes only the files that changed, and the folder ends up holding
// exactly what the scan produced, as when it was emptied first.

// Notes the regular files of the folder as the scan's earlier files. A
// folder that cannot be listed is logged and noted as far as it was listed.
void noteEarlierFiles(AirportsScanState& state, const std::filesystem::path& folder);
// Writes the file through the scan's file batch unless it is an earlier file
// that holds these bytes already. False when it could not be written.
[[nodiscard]] bool writeProducedFile(AirportsScanState& state, const std::filesystem::path& target,
                                     std::string_view bytes);
// Removes the folder's earlier files that the scan has not produced again
// (a failure is logged, as the folder's emptying logged it).
void settleFolder(AirportsScanState& state, const std::filesystem::path& folder);
// Whether the file is an earlier file that the scan has not produced again:
// until the folder is settled it lies there, but it is none of this scan's.
[[nodiscard]] bool isLeftFromEarlierScan(const AirportsScanState& state, const std::filesystem::path& file);
// The folder's regular files that this scan produced, before it is settled
// as after.
[[nodiscard]] std::uint64_t producedFileCount(const AirportsScanState& state, const std::filesystem::path& folder);

void noteBglFileOpened(AirportsScanState& state, std::filesystem::path bglFile);
void noteBglFileHandled(AirportsScanState& state, std::filesystem::path bglFile);

}  // namespace qvl
