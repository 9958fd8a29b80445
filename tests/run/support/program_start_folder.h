// A test that starts the program gives it a folder of its own: the current
// folder, the lock file's folder and the settings' folder all lie in a
// temporary folder, and the test's own current folder comes back at its end.
#pragma once

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"

namespace qvl::test {

class ProgramStartFolder {
public:
    ProgramStartFolder() : previous_(std::filesystem::current_path()) {
        std::filesystem::create_directories(dir / "runtime");
        ::setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
        ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        std::filesystem::current_path(dir.path());
    }
    ~ProgramStartFolder() {
        std::filesystem::current_path(previous_);
        ::unsetenv("XDG_RUNTIME_DIR");
        ::unsetenv("QVL_ROAMING_DIR");
    }
    ProgramStartFolder(const ProgramStartFolder&) = delete;
    ProgramStartFolder& operator=(const ProgramStartFolder&) = delete;

    TempDir dir;

private:
    std::filesystem::path previous_;
};

}  // namespace qvl::test
