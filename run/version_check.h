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

// What versions.json says: a version per key that has whole-number major,
// minor and patch; the other keys by name.
struct WebVersions {
    std::map<std::string, VersionRecord, std::less<>> versions;
    std::vector<std::string> unreadableKeys;
};

enum class VersionsJsonError : std::uint8_t { notJson, notAnObject };

// Reads the text of versions.json. Never throws.
[[nodiscard]] Result<WebVersions, VersionsJsonError> readVersionsJson(std::string_view text);

// What the check works with, given once.
struct VersionCheckOwners {
    RunState& run;   // ended with NEW VERSION when a newer program is installed
    Status& status;  // shows the scan switches the check turns on
    // The program's folder (the install target); the working folder when empty.
    std::filesystem::path programFolder{};
    DownloadLimits limits{};
};

class VersionCheck {
public:
    explicit VersionCheck(VersionCheckOwners owners) : owners_(std::move(owners)) {}

    // False when the run must not go on: a newer program was put into
    // new_version and the run ended with NEW VERSION. Throws the user error
    // 112 when the newer program could not be downloaded or unpacked.
    bool gf_checkVersions();

private:
    [[nodiscard]] std::filesystem::path inFolder(const std::filesystem::path& relative) const;
    void updateProgram(const VersionRecord& web);
    [[nodiscard]] bool downloadInstaller(const VersionRecord& web);
    void checkDataFile(std::string_view key, const VersionRecord* web);
    void checkScanRules(std::string_view key, const VersionRecord* web);

    VersionCheckOwners owners_;
};

}  // namespace qvl
