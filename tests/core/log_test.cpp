#include "core/log.h"

#include <gtest/gtest.h>

#include "core/run_state.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

using test::readFile;

class Log : public ::testing::Test {
protected:
    void SetUp() override { attachRunState(&run); }
    void TearDown() override {
        closeLog();
        attachRunState(nullptr);
    }
    test::TempDir dir;
    RunState run;
};

TEST_F(Log, WritersAreSilentWhileClosedAndUseTheirPrefixes) {
    closeLog();
    gf_log("lost");
    openLogAt(dir / "Log.txt");
    gf_log("plain");
    gf_logAttention("look");
    gf_logContinuation("more");
    gf_logLineAndFlush("flushed");
    run.closeRequested = true;
    gf_logUnlessClosing("hidden while closing");
    run.closeRequested = false;
    gf_logUnlessClosing("shown");
    closeLog();
    gf_log("after close");

    const std::string text = readFile(dir / "Log.txt");
    const auto bannerEnd = text.find('\n');
    EXPECT_NE(text.substr(0, bannerEnd).find(" (utc) Quorvelant version 12.2.0 for MSFS 2020/2024"), std::string::npos)
        << text;
    EXPECT_EQ(text.substr(bannerEnd + 1), "plain\n==> look\n          more\nflushed\nshown\n");
}

TEST_F(Log, FourStartsKeepThreeGenerations) {
    for (int start = 1; start <= 4; ++start) {
        openLogAt(dir / "Log.txt");
        gf_log("start " + std::to_string(start));
        closeLog();
    }
    const std::pair<const char*, const char*> expected[] = {
        {"Log.txt", "start 4\n"}, {"Log0.txt", "start 3\n"}, {"Log00.txt", "start 2\n"}, {"Log000.txt", "start 1\n"}};
    for (const auto& [name, last] : expected) {
        const std::string text = readFile(dir / name);
        EXPECT_EQ(text.substr(text.find('\n') + 1), last) << name;
    }
}

TEST_F(Log, OpenFailureThrowsWithThePath) {
    const auto bad = dir / "missing-folder" / "Log.txt";
    try {
        openLogAt(bad);
        FAIL() << "expected an exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to write file " + bad.string());
    }
    EXPECT_FALSE(logIsOpen());
}

}  // namespace
}  // namespace qvl
