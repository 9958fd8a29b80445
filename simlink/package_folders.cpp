#include "simlink/package_folders.h"

#include <fmt/format.h>

#include <array>

#include "core/log.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "platform/sys/known_folders.h"
#include "simlink/sim_hooks.h"
#include "simlink/sim_state.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPackagesKey = "InstalledPackagesPath";
constexpr std::string_view kUserCfgName = "UserCfg.opt";

StringParameter& installPathSetting(SimVersion version) {
    return version == SimVersion::msfs2020 ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH;
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

std::string_view lf_msfsPackageFamily(SimVersion version) {
    return version == SimVersion::msfs2020 ? "Microsoft.FlightSimulator_8wekyb3d8bbwe"
                                           : "Microsoft.Limitless_8wekyb3d8bbwe";
}

std::string_view lf_msfsName(SimVersion version) {
    return version == SimVersion::msfs2020 ? "Microsoft Flight Simulator" : "Microsoft Flight Simulator 2024";
}

const fs::path& officialFolderName(SimVersion version) {
    return version == SimVersion::msfs2020 ? kOfficialName : kOfficial2024Name;
}

fs::path gf_simPackagesPath(SimVersion version, const fs::path& name) {
    return pathFromUtf8(installPathSetting(version).value()) / name;
}

fs::path lf_steamPackagesPath(SimVersion version) {
    fs::path packages = sys::roamingAppDataFolder() / lf_msfsName(version) / "Packages";
    if (!existsQuietly(packages)) return {};
    gf_log(fmt::format("Steam packages: {}", gf_pathToUtf8(packages)));
    return packages;
}

fs::path lf_findUserCfgOpt(SimVersion version) {
    const fs::path local = sys::localAppDataFolder();
    const std::array<fs::path, 4> candidates{
        local / "Packages" / lf_msfsPackageFamily(version) / "LocalCache" / kUserCfgName,
        sys::roamingAppDataFolder() / lf_msfsName(version) / kUserCfgName,
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

fs::path lf_readInstalledPackagesPath(SimVersion version) {
    const fs::path userCfg = lf_findUserCfgOpt(version);
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
    fs::path folder = pathFromUtf8(value);
    if (value.empty() || !existsQuietly(folder)) return {};
    return folder;
}

bool lf_packagesPathValid(SimVersion version, const fs::path& path) {
    // An empty path would test the working folder.
    if (path.empty()) return false;
    return isDirectoryQuietly(path / kCommunityName) && isDirectoryQuietly(path / officialFolderName(version));
}

bool gf_detectMsfs(const SimLinkState& link) {
    const SimVersion version = link.simVersion.load();
    fs::path found = lf_steamPackagesPath(version);
    if (!lf_packagesPathValid(version, found)) {
        found = lf_readInstalledPackagesPath(version);
        if (!lf_packagesPathValid(version, found)) return false;
    }
    const std::string text = gf_pathToUtf8(found);
    link.hooks.setStringSetting(installPathSetting(version), text);
    ALL_INSTALL_PATH.set(text);
    return true;
}

}  // namespace qvl
