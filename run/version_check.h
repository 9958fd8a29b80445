// The check for a newer program and newer data at the start of a process's
// first run: versions.json from the download site names the current version
// of the program, of each data file and of the scan rules.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/download.h"
#include "core/result.h"
#include "core/run_state.h"
#include "core/status.h"
#include "core/version.h"

namespace qvl {

// What versions.json says: a version per key whose major, minor and patch
// are whole numbers from 0 to 65535; the other keys by name.
struct WebVersions {
    std::map<std::string, VersionRecord, std::less<>> versions;
    std::vector<std::string> unreadableKeys;
};

enum class VersionsJsonError : std::uint8_t { notJson, notAnObject };

// Reads the text of versions.json. Never throws.
[[nodiscard]] Result<WebVersions, VersionsJsonError> readVersionsJson(std::string_view text);

// The most the new program's installer may unpack to: far above any real
// installer, far below what a small archive can be made to unpack to.
inline constexpr std::uint64_t kInstallerMaxBytes = 1024 * kMebibyte;

// The limits of each download of the check, and of the installer's unpacking.
struct UpdateLimits {
    DownloadLimits versionInfo = kVersionInfoLimits;
    DownloadLimits dataFile = kDataFileLimits;
    DownloadLimits releaseNotes = kReleaseNotesLimits;
    DownloadLimits programArchive = kProgramArchiveLimits;
    std::uint64_t installerMaxBytes = kInstallerMaxBytes;
};

// What the check works with, given once.
struct VersionCheckOwners {
    // Ended with NEW VERSION when a newer program is installed; a close of
    // the program (closeRequested or closingFlag) ends a download at once.
    RunState& run;
    Status& status;  // shows the scan switches the check turns on
    // The program's folder (the install target); the working folder when empty.
    std::filesystem::path programFolder{};
    UpdateLimits limits{};
};

class VersionCheck {
public:
    explicit VersionCheck(VersionCheckOwners owners);

    // False when the run must not go on: a newer program was put into
    // new_version and the run ended with NEW VERSION, or the program is
    // closing. Throws the user error 112 when the newer program could not be
    // downloaded or unpacked.
    bool gf_checkVersions();

private:
    [[nodiscard]] std::filesystem::path inFolder(const std::filesystem::path& relative) const;
    void updateProgram(const VersionRecord& web);
    [[nodiscard]] bool downloadInstaller(const VersionRecord& web);
    void checkDataFile(std::string_view key, const VersionRecord* web);
    void checkScanRules(std::string_view key, const VersionRecord* web);

    VersionCheckOwners owners_;
    DownloadStop stop_;
};

// A kill during an update or a save leaves its temporary files beside their
// targets, and nothing else would remove them: among them the decrypted
// plain text of a data file under check. Removes them from the program's
// folder (the working folder when empty) and from the settings folder.
void removeInterruptedLeftovers(const std::filesystem::path& programFolder,
                                const std::filesystem::path& settingsFolder);

}  // namespace qvl
