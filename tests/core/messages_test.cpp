#include "core/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>

#include "core/run_state.h"
#include "support/fake_status.h"
#include "support/logged_folder.h"

namespace qvl {
namespace {

class Messages : public test::LoggedFolder {
protected:
    void SetUp() override {
        resetMessages();
        repaint.emplace(status);
    }
    void TearDown() override {
        repaint.reset();
        resetMessages();
    }
    test::FakeStatus status;
    const std::atomic<int>& repaints = status.messageLinesChanges;
    std::optional<MessageRepaint> repaint;
};

// Lines that no window repaints would stay unseen: the program's check finds
// a missing wiring, and a second window cannot take the lines over silently.
TEST_F(Messages, TheRepaintIsRequiredAndOnlyOneWindowHasIt) {
    EXPECT_NO_THROW(requireMessageRepaint());
    test::FakeStatus other;
    EXPECT_THROW(MessageRepaint second(other), std::logic_error);
    gf_showMessage("still ours", MessageLogging::notLogged);
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(other.messageLinesChanges, 0);
    repaint.reset();
    EXPECT_THROW(requireMessageRepaint(), std::logic_error);
}

TEST_F(Messages, ErrorHasPriorityUntilCleared) {
    gf_showMessage("hello", MessageLogging::logged);
    gf_reportError("broken");
    EXPECT_EQ(messageLines().message, "");
    EXPECT_EQ(messageLines().error, "broken");
    const int before = repaints;
    gf_showMessage("ignored", MessageLogging::logged);
    gf_clearMessage();
    EXPECT_EQ(repaints, before);  // nothing changed, no repaint asked
    clearError();
    gf_showMessage("back", MessageLogging::notLogged);
    EXPECT_EQ(messageLines().message, "back");
    EXPECT_TRUE(logged("\nhello\nError broken\n"));
    EXPECT_FALSE(logged("ignored") || logged("back"));
}

TEST_F(Messages, EmptyTextClearsAndMessagesExpire) {
    gf_showMessage("", MessageLogging::logged);
    EXPECT_EQ(messageLines().shownAt, 0u);  // shown at 1 were the text not empty
    for (int i = 0; i < 10; ++i) tickMessageClock();
    gf_showMessage("short lived", MessageLogging::notLogged);
    EXPECT_EQ(messageLines().shownAt, 10u);
    for (int i = 0; i < 24; ++i) tickMessageClock();
    EXPECT_EQ(messageLines().message, "short lived");
    tickMessageClock();
    EXPECT_EQ(messageLines().message, "");
}

TEST_F(Messages, FirstRestartReasonWins) {
    RunState run;
    EXPECT_TRUE(run.endRun(RestartReason::readerError, 15));
    EXPECT_FALSE(run.endRun(RestartReason::simWasClosed, 0));
    EXPECT_TRUE(run.isClosing());
    EXPECT_EQ(run.restartDelay.load(), 15);
    EXPECT_EQ(restartReasonName(run.restartReason), "READER ERROR");
    run.reset();
    EXPECT_FALSE(run.isClosing());
    EXPECT_EQ(run.restartDelay.load(), 0);
    EXPECT_EQ(restartReasonName(run.restartReason), "NOT YET SET");
    run.closeRequested = true;
    EXPECT_TRUE(run.isClosing());
}

}  // namespace
}  // namespace qvl
