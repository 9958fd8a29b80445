// What decides whether an installer needs administrator rights: the system's
// folders for installed programs and whether this process runs elevated.
#pragma once

#include <filesystem>
#include <vector>

namespace qvl::sys {

// The folders where programs are installed for all users and only an
// administrator may write (Program Files and its 32-bit twin on Windows).
// None on Linux: programs there live wherever the user put them.
std::vector<std::filesystem::path> programFilesFolders();

// True when the process runs with administrator rights (root here).
bool processElevated();

}  // namespace qvl::sys
