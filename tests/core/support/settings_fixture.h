// Starts from freshly reset settings and points the roaming folder at a
// temporary folder, with the working folder there too, so parameters.xml and
// the data files of a test live in that folder only.
#pragma once

#include <cstdlib>
#include <filesystem>

#include "core/paths.h"
#include "core/settings.h"
#include "logged_folder.h"
#include "support/settings_scope.h"

namespace qvl::test {

class SettingsFolder : public LoggedFolder {
protected:
    void SetUp() override {
        resetAllSettings();
        oldCwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        std::filesystem::create_directories(productFolder());
    }
    void TearDown() override {
        unsetenv("QVL_ROAMING_DIR");
        std::filesystem::current_path(oldCwd_);
    }
    std::string file() { return readFile(parametersFile()); }
    void writeParameters(const std::string& xml) { writeFile(parametersFile(), xml); }

    SettingsScope settings;

private:
    std::filesystem::path oldCwd_;
};

}  // namespace qvl::test
