// The folder in which the chosen simulator keeps its packages (the folder
// that holds "Community" and "Official" or "Official2024"). At start-up,
// when the user has not typed a path, the program finds it on its own: first
// a Steam installation, then the "InstalledPackagesPath" of UserCfg.opt.
// Paths stay UTF-8 inside the program.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "simlink/sim_version.h"

namespace qvl {

struct SimLinkState;

// True when a valid packages folder of the link's chosen simulator was found;
// it is then stored (and saved, through the link's hooks) in that
// simulator's install-path setting and shown in ALL_INSTALL_PATH.
bool gf_detectMsfs(const SimLinkState& link);

// The simulator's install path joined with a folder name ("Community",
// "Official", "StreamedPackages", ...); the bare name while no path is set.
std::filesystem::path gf_simPackagesPath(SimVersion version, const std::filesystem::path& name);

// The steps of the detection.
std::filesystem::path lf_findUserCfgOpt(SimVersion version);
std::filesystem::path lf_steamPackagesPath(SimVersion version);
std::filesystem::path lf_readInstalledPackagesPath(SimVersion version);
bool lf_packagesPathValid(SimVersion version, const std::filesystem::path& path);
// The folder named on an "InstalledPackagesPath" line: the text between the
// first two double quotes, or without quotes the text after the key, trimmed.
std::string installedPackagesValue(std::string_view line);

// Names by simulator.
std::string_view lf_msfsPackageFamily(SimVersion version);
std::string_view lf_msfsName(SimVersion version);
const std::filesystem::path& officialFolderName(SimVersion version);

}  // namespace qvl
