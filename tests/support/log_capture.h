// Log.txt opened in a test's folder for the life of the object and closed at
// its end, so a failed assertion never leaves the log open behind the test.
// Declare it after the TempDir it writes into.
#pragma once

#include <filesystem>
#include <string>

#include "core/log.h"
#include "support/temp_dir.h"

namespace qvl::test {

class LogCapture {
public:
    explicit LogCapture(const std::filesystem::path& folder) : file_(folder / "Log.txt") { openLogAt(file_); }
    ~LogCapture() { closeLog(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Everything logged so far, banner line included.
    std::string text() const {
        gf_flushLog();
        return readFile(file_);
    }

private:
    std::filesystem::path file_;
};

}  // namespace qvl::test
