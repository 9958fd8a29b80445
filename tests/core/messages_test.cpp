#include "core/messages.h"

#include <gtest/gtest.h>

#include "core/run_flags.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

class Messages : public ::testing::Test {
protected:
    void SetUp() override {
        gf_resetMessages();
        gf_setMessageRepaintHook([this] { ++repaints; });
        repaints = 0;
    }
    void TearDown() override {
        gf_setMessageRepaintHook(nullptr);
        gf_resetMessages();
    }
    test::TempDir dir;
    test::LogCapture log{dir.path()};
    int repaints = 0;
};

TEST_F(Messages, ErrorHasPriorityUntilCleared) {
    gf_showMessage("hello", true);
    EXPECT_EQ(gf_messageLines().message, "hello");
    EXPECT_EQ(gf_messageLines().shownAt, 1u);  // clock still 0: shown at 1
    gf_reportError("broken");
    EXPECT_EQ(gf_messageLines().message, "");
    EXPECT_EQ(gf_messageLines().error, "broken");
    const int before = repaints;
    gf_showMessage("ignored", true);
    gf_clearMessage();
    EXPECT_EQ(repaints, before);  // nothing changed, no repaint asked
    EXPECT_EQ(gf_messageLines().message, "");
    gf_clearError();
    gf_showMessage("back", false);
    EXPECT_EQ(gf_messageLines().message, "back");
    const std::string text = log.text();
    EXPECT_NE(text.find("\nhello\n"), std::string::npos);
    EXPECT_NE(text.find("\nError broken\n"), std::string::npos);
    EXPECT_EQ(text.find("ignored"), std::string::npos);
    EXPECT_EQ(text.find("back"), std::string::npos);
}

TEST_F(Messages, EmptyTextClearsWithoutLoggingAndMessagesExpire) {
    gf_showMessage("", true);
    EXPECT_EQ(gf_messageLines().shownAt, 0u);
    for (int i = 0; i < 10; ++i) gf_tickMessageClock();
    gf_showMessage("short lived", false);
    EXPECT_EQ(gf_messageLines().shownAt, 10u);
    for (int i = 0; i < 24; ++i) gf_tickMessageClock();
    EXPECT_EQ(gf_messageLines().message, "short lived");
    gf_tickMessageClock();
    EXPECT_EQ(gf_messageLines().message, "");
}

TEST(RunFlags, FirstReasonWins) {
    gf_resetRunFlags();
    EXPECT_FALSE(gf_isClosing());
    EXPECT_TRUE(gf_endRun(RestartReason::readerError, 15));
    EXPECT_FALSE(gf_endRun(RestartReason::simWasClosed, 0));
    EXPECT_TRUE(gf_isClosing());
    EXPECT_EQ(restartReason.load(), RestartReason::readerError);
    EXPECT_EQ(restartDelay.load(), 15);
    EXPECT_EQ(gf_restartReasonName(restartReason), "READER ERROR");
    gf_resetRunFlags();
    EXPECT_EQ(gf_restartReasonName(restartReason), "NOT YET SET");
}

}  // namespace
}  // namespace qvl
