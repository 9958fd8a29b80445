// The main window's message line and error line. Any thread may show a
// message, report an error or clear the message. An error has priority:
// while the error line holds text, messages are not shown at all. The lines
// live here, below the window; the window paints them and asks for them with
// messageLines(). Repainting never happens on the caller's thread: the
// program's MessageRepaint tells the status (core/status.h), which only asks
// the UI thread to do it.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"

namespace qvl {

struct MessageLines {
    std::string message;
    std::string error;
    std::uint32_t shownAt = 0;  // message clock second the message was set; 0 = none
};

// Whether a shown message also goes to Log.txt.
enum class MessageLogging : std::uint8_t { notLogged, logged };

// Shows a message unless an error is showing; logs it when asked (an empty
// text clears the line and logs nothing).
void gf_showMessage(const std::string& text, MessageLogging logging);
void gf_clearMessage();
// Shows an error (the message line is emptied) and logs "Error <text>".
void gf_reportError(const std::string& text);
// Empties the error line (an announced update, a new install path, a restart).
void clearError();

MessageLines messageLines();

// The message clock counts seconds of flight; a message expires 25 seconds
// after it was shown. Called once a second by the run.
void tickMessageClock();
// Back to no message, no error and a stopped clock (the reset before a run).
void resetMessages();

// The window's side of the lines: while one lives, every change of the lines
// is reported to its status (messageLinesChanged), which must not block. The
// program holds one for as long as it runs, and checks that it does when it
// is put together (requireMessageRepaint), so that no program shows lines
// that are never painted. One at a time: a second one while the first lives
// is a wiring fault.
class MessageRepaint {
public:
    // Throws std::logic_error while another one lives.
    explicit MessageRepaint(Status& status);
    ~MessageRepaint();
    MessageRepaint(const MessageRepaint&) = delete;
    MessageRepaint& operator=(const MessageRepaint&) = delete;
};

// Throws std::logic_error while no MessageRepaint lives.
void requireMessageRepaint();

}  // namespace qvl
