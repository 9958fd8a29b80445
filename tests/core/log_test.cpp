#include "core/log.h"
#include "core/refused_line_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

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

TEST_F(Log, EveryLineIsInTheFileAsSoonAsItIsWritten) {
    openLogAt(dir / "Log.txt");
    gf_log("plain");
    EXPECT_THAT(readFile(dir / "Log.txt"), testing::EndsWith("\nplain\n"));
    gf_logContinuation("more");
    EXPECT_THAT(readFile(dir / "Log.txt"), testing::EndsWith("\nplain\n          more\n"));
}

// A manual clock for the limiter.
struct ManualNow {
    std::chrono::steady_clock::time_point now{};
    SteadyNow clock() {
        return [this] { return now; };
    }
};

TEST_F(Log, RefusedLinesOfAKindAreLoggedFirstFewThenCountedOnceAMinute) {
    openLogAt(dir / "Log.txt");
    ManualNow time;
    RefusedLineLog refused({"refused lines (a)", "refused lines (b)"}, time.clock(),
                           {.firstLines = 2, .countPeriod = std::chrono::seconds(60)});
    int built = 0;
    auto line = [&built](const char* text) {
        return [&built, text] {
            ++built;
            return std::string(text);
        };
    };
    for (int i = 0; i < 1000; ++i) refused.log(0, line("a bad"));
    refused.log(1, line("b bad"));  // each kind has its own few
    EXPECT_EQ(built, 3) << "lines not logged are not even built";
    EXPECT_EQ(refused.counted(0), 998U);
    time.now += std::chrono::seconds(59);
    refused.writeDueCounts();
    time.now += std::chrono::seconds(1);
    refused.log(0, line("a bad"));  // the flood goes on: counted, and the minute's count goes out
    time.now += std::chrono::seconds(30);
    refused.log(0, line("a bad"));
    time.now += std::chrono::seconds(30);
    refused.writeDueCounts();  // the flood has stopped: its last count still goes out
    time.now += std::chrono::seconds(60);
    refused.writeDueCounts();  // a quiet minute: the kind starts afresh
    refused.log(0, line("a news"));

    const std::string text = readFile(dir / "Log.txt");
    EXPECT_EQ(text.substr(text.find('\n') + 1),
              "a bad\n"
              "a bad\n"
              "further refused lines (a) are only counted, one count line every 60 s\n"
              "b bad\n"
              "  998 more refused lines (a) in the last 60 s\n"
              "    2 more refused lines (a) in the last 60 s\n"
              "a news\n");
}

// The boundary of a quiet period: a kind quiet for one whole period is news
// again; one quiet for a second less is still counted.
TEST_F(Log, AKindQuietForExactlyOneCountPeriodIsWrittenInFullAgain) {
    openLogAt(dir / "Log.txt");
    ManualNow time;
    RefusedLineLog refused({"refused lines (a)", "refused lines (b)"}, time.clock(),
                           {.firstLines = 1, .countPeriod = std::chrono::seconds(60)});
    EXPECT_TRUE(refused.admit(0));
    EXPECT_TRUE(refused.admit(1));
    EXPECT_FALSE(refused.admit(0));
    time.now += std::chrono::seconds(1);
    EXPECT_FALSE(refused.admit(1));
    time.now += std::chrono::seconds(59);
    refused.writeDueCounts();
    EXPECT_TRUE(refused.admit(0)) << "quiet for exactly 60 s";
    EXPECT_FALSE(refused.admit(1)) << "quiet for 59 s";

    const std::string text = readFile(dir / "Log.txt");
    EXPECT_NE(text.find("    1 more refused lines (a) in the last 60 s\n"), std::string::npos) << text;
}

TEST_F(Log, OpenFailureThrowsWithThePath) {
    const auto bad = dir / "missing-folder" / "Log.txt";
    EXPECT_THAT([&] { openLogAt(bad); },
                testing::ThrowsMessage<std::runtime_error>("Failed to write file " + bad.string()));
    EXPECT_FALSE(logIsOpen());
}

TEST(StarBanner, WidthIsRoundedUpToEvenAndALongTitleStandsAlone) {
    const std::string title77(77, 't');
    const std::string title78(78, 't');
    const std::string stars39(39, '*');
    const std::pair<StarBanner, std::string> cases[] = {
        {{.width1 = kBannerWidth1, .width2 = kBannerWidth2}, std::string(80, '*')},
        {{.width1 = 70, .width2 = 10, .title = "parameters"}, stars39 + " parameters " + stars39},
        {{.width1 = 3, .width2 = 0}, "****"},
        {{.width1 = 80, .width2 = 0, .title = title77}, stars39 + " " + title77 + " " + stars39},
        {{.width1 = 80, .width2 = 0, .title = title78}, title78},
        {{.width1 = 2, .width2 = 0, .leadingNewline = true, .trailingNewline = true}, "\n**\n"},
        {{.width1 = -5, .width2 = 0, .title = "x"}, "x"},
    };
    for (const auto& [banner, expected] : cases) {
        EXPECT_EQ(gf_starBanner(banner), expected) << banner.width1 << " " << banner.title;
    }
}

}  // namespace
}  // namespace qvl
