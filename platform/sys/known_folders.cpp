#include "platform/sys/known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace qvl::sys {
namespace {

std::filesystem::path fromEnv(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') return {};
    return std::filesystem::path(v);
}

}  // namespace

std::filesystem::path homeFolder() {
    if (auto home = fromEnv("HOME"); !home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return std::filesystem::path(pw->pw_dir);
    }
    return std::filesystem::current_path();
}

std::filesystem::path roamingAppDataFolder() {
    if (auto p = fromEnv("QVL_ROAMING_DIR"); !p.empty()) return p;
    if (auto p = fromEnv("XDG_CONFIG_HOME"); !p.empty()) return p;
    return homeFolder() / ".config";
}

std::filesystem::path localAppDataFolder() {
    if (auto p = fromEnv("QVL_LOCAL_DIR"); !p.empty()) return p;
    if (auto p = fromEnv("XDG_DATA_HOME"); !p.empty()) return p;
    return homeFolder() / ".local" / "share";
}

}  // namespace qvl::sys
