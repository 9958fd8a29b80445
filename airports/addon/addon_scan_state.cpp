#include "airports/addon/addon_scan_state.h"

#include <system_error>
#include <utility>

#include "core/files.h"

namespace qvl {
namespace fs = std::filesystem;

void AirportsScanState::reset() {
    {
        const std::scoped_lock lock(bglPathsMutex);
        bglFilesOpened.clear();
    }
    {
        const std::scoped_lock lock(bglHandledMutex);
        bglFilesHandled.clear();
    }
    {
        const std::scoped_lock lock(scanLogMutex);
        airportsScanLog.clear();
        if (airportsScanLog.capacity() < kScanLogReserve) airportsScanLog.reserve(kScanLogReserve);
    }
    tbloFileCount.store(0);
    generatedFiles.clear();
    tbloEntries.clear();
}

void lf_addScanLogLine(AirportsScanState& state, std::string text) {
    const std::scoped_lock lock(state.scanLogMutex);
    state.airportsScanLog.push_back(std::move(text));
}

void addScanLogLines(AirportsScanState& state, std::vector<std::string>&& lines) {
    const std::scoped_lock lock(state.scanLogMutex);
    for (std::string& line : lines) state.airportsScanLog.push_back(std::move(line));
}

std::vector<std::string> scanLogLines(AirportsScanState& state) {
    const std::scoped_lock lock(state.scanLogMutex);
    return state.airportsScanLog;
}

void clearScanLog(AirportsScanState& state) {
    const std::scoped_lock lock(state.scanLogMutex);
    state.airportsScanLog.clear();
}

bool writeScanLog(AirportsScanState& state, const fs::path& file) {
    // The folder may be missing on a fresh install; a failure shows in the write.
    if (file.has_parent_path()) {
        std::error_code ignored;
        fs::create_directories(file.parent_path(), ignored);
    }
    // Held for the write too, so two writes never mix their temporary files.
    const std::scoped_lock lock(state.scanLogMutex);
    std::string bytes;
    for (const std::string& line : state.airportsScanLog) {
        bytes += line;
        bytes += '\n';
    }
    return state.files.write(file, bytes);
}

void noteBglFileOpened(AirportsScanState& state, fs::path bglFile) {
    const std::scoped_lock lock(state.bglPathsMutex);
    state.bglFilesOpened.push_back(std::move(bglFile));
}

void noteBglFileHandled(AirportsScanState& state, fs::path bglFile) {
    const std::scoped_lock lock(state.bglHandledMutex);
    state.bglFilesHandled.push_back(std::move(bglFile));
}

}  // namespace qvl
