// Shows a folder in the desktop's file manager (xdg-open), without waiting
// for the file manager. When QVL_SHELL_OPEN_LOG names a file, the request is
// appended to it as one line ("open <folder>") instead, so tests and
// demonstrations can check what would have been opened.
#pragma once

#include <filesystem>

namespace qvl::sys {

// True when the file manager was asked to open the folder.
bool openFolderInFileManager(const std::filesystem::path& folder);

}  // namespace qvl::sys
