#include "run/window/shell.h"

#include <system_error>

#include "core/log.h"
#include "core/setting_controls.h"
#include "platform/sys/known_folders.h"
#include "platform/sys/shell_open.h"

namespace qvl {
namespace fs = std::filesystem;

std::optional<fs::path> gf_getKnownFolderPath(KnownFolder folder) {
    fs::path path = folder == KnownFolder::roamingAppData ? sys::roamingAppDataFolder() : sys::localAppDataFolder();
    std::error_code error;
    if (path.empty() || !fs::is_directory(path, error)) return std::nullopt;
    return path;
}

fs::path gf_appDataPath() {
    if (auto path = gf_getKnownFolderPath(KnownFolder::roamingAppData)) return *path;
    gf_logAttention("Could not find the AppData path");
    return {};
}

fs::path gf_localAppDataPath() {
    if (auto path = gf_getKnownFolderPath(KnownFolder::localAppData)) return *path;
    gf_logAttention("Could not find the Local AppData path");
    return {};
}

bool gf_openWithShell(const fs::path& file) {
    std::error_code error;
    if (!fs::exists(file, error)) return false;
    const fs::path folder = file.parent_path();
    if (folder.empty()) return false;
    return sys::openFolderInFileManager(folder);
}

void gf_enableControl(const ControlBinding& binding) { setControlEnabled(binding, true); }

}  // namespace qvl
