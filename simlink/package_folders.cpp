#include "simlink/package_folders.h"

#include <fmt/format.h>

#include <array>

#include "core/log.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "platform/sys/known_folders.h"
#include "platform/ui/controls.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_version.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPackagesKey = "InstalledPackagesPath";
constexpr std::string_view kUserCfgName = "UserCfg.opt";

StringParameter& installPathSetting() { return simIs2020.load() ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH; }

void showInstallPath(const std::string& text) {
    const auto controls = ui::installedControls();
    const ui::ControlHandle handle = ALL_INSTALL_PATH.controlHandle();
    if (controls && handle != ui::kNoControl) controls->setText(handle, text);
}

// The first line that names the key.
const std::string* packagesLine(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (line.find(kPackagesKey) != std::string::npos) return &line;
    }
    return nullptr;
}

// A path taken from UserCfg.opt may be anything (too long, unreadable):
// a file-system error means "not there", never an exception.
bool existsQuietly(const fs::path& p) {
    std::error_code ec;
    return fs::exists(p, ec) && !ec;
}

bool isDirectoryQuietly(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec) && !ec;
}

}  // namespace

std::string_view lf_msfsPackageFamily() {
    return simIs2020.load() ? "Microsoft.FlightSimulator_8wekyb3d8bbwe" : "Microsoft.Limitless_8wekyb3d8bbwe";
}

std::string_view lf_msfsName() {
    return simIs2020.load() ? "Microsoft Flight Simulator" : "Microsoft Flight Simulator 2024";
}

std::string_view officialFolderName() { return (simIs2020.load() ? kOfficialName : kOfficial2024Name).native(); }

fs::path gf_simPackagesPath(const fs::path& name) { return fs::path(installPathSetting().value()) / name; }

fs::path lf_steamPackagesPath() {
    const fs::path packages = sys::roamingAppDataFolder() / lf_msfsName() / "Packages";
    if (!existsQuietly(packages)) return {};
    gf_log(fmt::format("Steam packages: {}", gf_pathToUtf8(packages)));
    return packages;
}

fs::path lf_findUserCfgOpt() {
    const fs::path local = sys::localAppDataFolder();
    const std::array<fs::path, 4> candidates{
        local / "Packages" / lf_msfsPackageFamily() / "LocalCache" / kUserCfgName,
        sys::roamingAppDataFolder() / lf_msfsName() / kUserCfgName,
        local / "Packages" / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / kUserCfgName,
        local / "MSFSPackages" / kUserCfgName,
    };
    for (const fs::path& candidate : candidates) {
        if (existsQuietly(candidate)) return candidate;
        gf_log(fmt::format("MSFS detection, not found: {}", gf_pathToUtf8(candidate)));
    }
    return {};
}

std::string installedPackagesValue(std::string_view line) {
    const auto open = line.find('"');
    if (open != std::string_view::npos) {
        const auto close = line.find('"', open + 1);
        if (close == std::string_view::npos) return {};
        return std::string(line.substr(open + 1, close - open - 1));
    }
    // Without quotes the key is not part of the folder.
    const auto key = line.find(kPackagesKey);
    const std::string_view rest = key == std::string_view::npos ? line : line.substr(key + kPackagesKey.size());
    return lf_trimCopy(rest);
}

fs::path lf_readInstalledPackagesPath() {
    const fs::path userCfg = lf_findUserCfgOpt();
    if (userCfg.empty()) {  // every candidate was checked and logged
        gf_log("No UserCfg.opt found?");
        return {};
    }
    const ReadLinesResult read = gf_readLines(userCfg, 64);
    const std::string* line = read ? packagesLine(read.lines) : nullptr;
    if (line == nullptr) {
        gf_log("UserCfg.opt: InstalledPackagesPath=???");
        return {};
    }
    const std::string value = installedPackagesValue(*line);
    gf_log(fmt::format("UserCfg.opt: InstalledPackagesPath={}", value));
    const fs::path folder(value);
    if (value.empty() || !existsQuietly(folder)) return {};
    return folder;
}

bool lf_packagesPathValid(const fs::path& path) {
    // An empty path would test the working folder.
    if (path.empty()) return false;
    return isDirectoryQuietly(path / kCommunityName) && isDirectoryQuietly(path / officialFolderName());
}

bool gf_detectMsfs() {
    fs::path found = lf_steamPackagesPath();
    if (!lf_packagesPathValid(found)) {
        found = lf_readInstalledPackagesPath();
        if (!lf_packagesPathValid(found)) return false;
    }
    const std::string text = gf_pathToUtf8(found);
    setSimStringSetting(installPathSetting(), text);
    ALL_INSTALL_PATH.set(text);
    showInstallPath(text);
    return true;
}

}  // namespace qvl
