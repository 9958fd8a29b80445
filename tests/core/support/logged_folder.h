// A fresh temporary folder with Log.txt open in it, for tests that check what
// was logged.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl::test {

class LoggedFolder : public ::testing::Test {
protected:
    bool logged(const std::string& text) const { return log.text().find(text) != std::string::npos; }

    TempDir dir;
    LogCapture log{dir.path()};
};

}  // namespace qvl::test
