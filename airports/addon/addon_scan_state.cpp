#include "airports/addon/addon_scan_state.h"

#include <fmt/format.h>

#include <array>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>

#include "core/files.h"
#include "core/log.h"
#include "core/text_file.h"

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

void noteEarlierFiles(AirportsScanState& state, const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) return;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code statusError;
        if (!it->is_regular_file(statusError)) continue;
        const std::uintmax_t size = it->file_size(statusError);
        state.earlierFiles.insert_or_assign(it->path(), statusError ? std::uintmax_t{0} : size);
    }
    if (error)
        gf_logAttention(fmt::format("noteEarlierFiles exception: {}: {}", gf_pathToUtf8(folder), error.message()));
}

namespace {

// Whether the file holds exactly the bytes; false when it cannot be read.
// Read in pieces and compared as it goes: no copy of a large file is made.
bool holdsBytes(const fs::path& file, std::string_view bytes) {
    std::ifstream in;
    in.rdbuf()->pubsetbuf(nullptr, 0);
    in.open(file, std::ios::binary);
    if (!in) return false;
    std::array<char, 16384> piece{};
    std::size_t at = 0;
    for (;;) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > bytes.size() - at || bytes.compare(at, got, std::string_view(piece.data(), got)) != 0) return false;
        at += got;
        if (got < piece.size()) return at == bytes.size() && !in.bad();
    }
}

}  // namespace

bool writeProducedFile(AirportsScanState& state, const fs::path& target, std::string_view bytes) {
    const auto earlier = state.earlierFiles.find(target);
    if (earlier != state.earlierFiles.end()) {
        const bool sameSize = earlier->second == bytes.size();
        state.earlierFiles.erase(earlier);
        if (sameSize && holdsBytes(target, bytes)) return true;
    }
    return state.files.write(target, bytes);
}

void settleFolder(AirportsScanState& state, const fs::path& folder) {
    bool removedAny = false;
    for (auto it = state.earlierFiles.begin(); it != state.earlierFiles.end();) {
        if (it->first.parent_path() != folder) {
            ++it;
            continue;
        }
        std::error_code error;
        if (!fs::remove(it->first, error) && error) {
            gf_logAttention(fmt::format("Failed to remove {} ({})", gf_pathToUtf8(it->first), error.message()));
        } else {
            removedAny = true;
        }
        it = state.earlierFiles.erase(it);
    }
    if (removedAny) state.files.noteChanged(folder);
}

bool isLeftFromEarlierScan(const AirportsScanState& state, const fs::path& file) {
    return state.earlierFiles.contains(file);
}

std::uint64_t producedFileCount(const AirportsScanState& state, const fs::path& folder) {
    std::uint64_t count = gf_countFilesInFolder(folder);
    for (const auto& [file, size] : state.earlierFiles) {
        std::error_code error;
        if (count > 0 && file.parent_path() == folder && fs::is_regular_file(file, error)) --count;
    }
    return count;
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
