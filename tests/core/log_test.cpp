#include "core/log.h"

#include <gtest/gtest.h>

#include "core/run_flags.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

using test::readFile;
using test::TempDir;

TEST(Log, WritersAreSilentWhileClosedAndUseTheirPrefixes) {
    TempDir dir;
    gf_closeLog();
    gf_log("lost");  // closed: nothing happens
    gf_openLogAt(dir / "Log.txt");
    gf_log("plain");
    gf_logAttention("look");
    gf_logContinuation("more");
    gf_logLineAndFlush("flushed");
    closeRequested = true;
    gf_logUnlessClosing("hidden while closing");
    closeRequested = false;
    gf_logUnlessClosing("shown");
    gf_closeLog();
    gf_log("after close");

    const std::string text = readFile(dir / "Log.txt");
    const auto firstLineEnd = text.find('\n');
    const std::string banner = text.substr(0, firstLineEnd);
    EXPECT_NE(banner.find(" (utc) Quorvelant version 12.2.0 for MSFS 2020/2024"), std::string::npos) << banner;
    EXPECT_EQ(text.substr(firstLineEnd + 1),
              "plain\n==> look\n          more\nflushed\nshown\n");
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(Log, ThreeStartsKeepThreeGenerations) {
    TempDir dir;
    for (int start = 1; start <= 4; ++start) {
        gf_openLogAt(dir / "Log.txt");
        gf_log("start " + std::to_string(start));
        gf_closeLog();
    }
    auto lastLine = [&](const char* name) {
        std::string t = readFile(dir / name);
        t.pop_back();
        return t.substr(t.rfind('\n') + 1);
    };
    EXPECT_EQ(lastLine("Log.txt"), "start 4");
    EXPECT_EQ(lastLine("Log0.txt"), "start 3");
    EXPECT_EQ(lastLine("Log00.txt"), "start 2");
    EXPECT_EQ(lastLine("Log000.txt"), "start 1");
}

TEST(Log, OpenFailureThrowsWithThePath) {
    TempDir dir;
    const auto bad = dir / "missing-folder" / "Log.txt";
    try {
        gf_openLogAt(bad);
        FAIL() << "expected an exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to write file " + bad.string());
    }
    EXPECT_FALSE(gf_logIsOpen());
}

TEST(StarBanner, WidthsTitlesAndFlags) {
    EXPECT_EQ(gf_starBanner(70, 10, false, false, ""), std::string(80, '*'));
    EXPECT_EQ(gf_starBanner(70, 10, false, false, "parameters"),
              std::string(39, '*') + " parameters " + std::string(39, '*'));
    EXPECT_EQ(gf_starBanner(3, 0, false, false, ""), "****");
    const std::string t78(78, 't');
    const std::string t77(77, 't');
    EXPECT_EQ(gf_starBanner(70, 10, false, false, t78), t78);
    EXPECT_EQ(gf_starBanner(70, 10, false, false, t77), std::string(39, '*') + " " + t77 + " " + std::string(39, '*'));
    EXPECT_EQ(gf_starBanner(70, 0, true, true, ""), "\n" + std::string(70, '*') + "\n");
    EXPECT_EQ(gf_starBanner(4, 0, true, false, "a long title"), "\na long title");
}

}  // namespace
}  // namespace qvl
