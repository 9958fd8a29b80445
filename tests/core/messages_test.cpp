#include "core/messages.h"

#include <gtest/gtest.h>

#include "core/run_flags.h"
#include "support/logged_folder.h"

namespace qvl {
namespace {

class Messages : public test::LoggedFolder {
protected:
    void SetUp() override {
        gf_resetMessages();
        gf_setMessageRepaintHook([this] { ++repaints; });
    }
    void TearDown() override {
        gf_setMessageRepaintHook(nullptr);
        gf_resetMessages();
        gf_resetRunFlags();
    }
    int repaints = 0;
};

TEST_F(Messages, ErrorHasPriorityUntilCleared) {
    gf_showMessage("hello", true);
    gf_reportError("broken");
    EXPECT_EQ(gf_messageLines().message, "");
    EXPECT_EQ(gf_messageLines().error, "broken");
    const int before = repaints;
    gf_showMessage("ignored", true);
    gf_clearMessage();
    EXPECT_EQ(repaints, before);  // nothing changed, no repaint asked
    gf_clearError();
    gf_showMessage("back", false);
    EXPECT_EQ(gf_messageLines().message, "back");
    EXPECT_TRUE(logged("\nhello\nError broken\n"));
    EXPECT_FALSE(logged("ignored") || logged("back"));
}

TEST_F(Messages, EmptyTextClearsAndMessagesExpire) {
    gf_showMessage("", true);
    EXPECT_EQ(gf_messageLines().shownAt, 0u);  // shown at 1 were the text not empty
    for (int i = 0; i < 10; ++i) gf_tickMessageClock();
    gf_showMessage("short lived", false);
    EXPECT_EQ(gf_messageLines().shownAt, 10u);
    for (int i = 0; i < 24; ++i) gf_tickMessageClock();
    EXPECT_EQ(gf_messageLines().message, "short lived");
    gf_tickMessageClock();
    EXPECT_EQ(gf_messageLines().message, "");
}

TEST_F(Messages, FirstRestartReasonWins) {
    gf_resetRunFlags();
    EXPECT_TRUE(gf_endRun(RestartReason::readerError, 15));
    EXPECT_FALSE(gf_endRun(RestartReason::simWasClosed, 0));
    EXPECT_TRUE(gf_isClosing());
    EXPECT_EQ(restartDelay.load(), 15);
    EXPECT_EQ(gf_restartReasonName(restartReason), "READER ERROR");
    gf_resetRunFlags();
    EXPECT_FALSE(gf_isClosing());
    EXPECT_EQ(gf_restartReasonName(restartReason), "NOT YET SET");
}

}  // namespace
}  // namespace qvl
