#include "platform/sys/shell_open.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>

extern char** environ;

namespace qvl::sys {
namespace {

bool recordRequest(const char* logFile, const std::filesystem::path& folder) {
    std::ofstream out(std::filesystem::path(logFile), std::ios::binary | std::ios::app);
    out << "open " << folder.string() << '\n';
    return static_cast<bool>(out);
}

}  // namespace

bool openFolderInFileManager(const std::filesystem::path& folder) {
    if (const char* logFile = std::getenv("QVL_SHELL_OPEN_LOG"); logFile != nullptr && *logFile != '\0') {
        return recordRequest(logFile, folder);
    }
    // The shell starts xdg-open in the background and ends at once, so the
    // caller (the UI thread) waits for nothing and leaves no child behind.
    const std::string folderText = folder.string();
    const char* argv[] = {"sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 &", "sh", folderText.c_str(), nullptr};
    pid_t child = 0;
    // posix_spawnp takes char* const[]; the strings are not changed.
    if (posix_spawnp(&child, "sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace qvl::sys
