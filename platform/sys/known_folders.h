// Known folders of the user's account.
//   roaming application data: $QVL_ROAMING_DIR, else $XDG_CONFIG_HOME, else ~/.config
//   local application data:   $QVL_LOCAL_DIR,   else $XDG_DATA_HOME,   else ~/.local/share
// The QVL_* variables exist so that tests can point the program at a
// temporary folder without touching the user's own.
#pragma once

#include <filesystem>

namespace qvl::sys {

std::filesystem::path roamingAppDataFolder();
std::filesystem::path localAppDataFolder();
std::filesystem::path homeFolder();

}  // namespace qvl::sys
