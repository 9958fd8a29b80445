// The folders the program shows the user in the file manager (the folder of
// parameters.xml and the local manual), and whether the installer of a new
// version must be run with administrator rights.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/window.h"

namespace qvl {

// False (with a message box over the window) when the folder could not be
// shown.
bool gf_openParametersFolder(ui::Window& window);
bool gf_openManual(ui::Window& window);
// The "tblo" folder under the program's folder, where tblo.zip is.
bool openTbloZipFolder(ui::Window& window);

// What the rights check asks of the system; tests give their own.
struct InstallRights {
    // Folders only an administrator may write to (none on Linux).
    std::vector<std::filesystem::path> programFilesFolders{};
    std::function<bool()> processElevated{};
};

// The system's answers.
InstallRights systemInstallRights();

// The text that tells the user whether the installer, which replaces the
// program in `programFolder`, must be run as administrator.
std::string gf_checkNewVersionRights(const std::filesystem::path& programFolder);
std::string gf_checkNewVersionRights(const std::filesystem::path& programFolder, const InstallRights& rights);

// True when `folder` is `root` or lies inside it. Windows paths compare
// without case, component by component, "\" and "/" alike, so that
// "Program Files (x86)" is not taken to be inside "Program Files".
bool isInsideFolder(const std::filesystem::path& folder, const std::filesystem::path& root);

}  // namespace qvl
