#include "core/messages.h"

#include <fmt/format.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "core/log.h"

namespace qvl {
namespace {

constexpr std::uint32_t kMessageLifeSeconds = 25;

struct MessageState {
    // Lock order: this mutex before the log mutex.
    std::mutex mutex;
    MessageLines lines;
    std::uint32_t clock = 0;
    // Set while a MessageRepaint lives. Without one (a part tested on its
    // own) the lines are kept and nobody is told: the program cannot start so.
    Status* status = nullptr;
};

MessageState& state() {
    static MessageState s;
    return s;
}

// Outside the lock: the status may ask for the lines while it is told.
void requestRepaint() {
    Status* status = nullptr;
    {
        std::lock_guard lock(state().mutex);
        status = state().status;
    }
    if (status != nullptr) status->messageLinesChanged();
}

}  // namespace

void gf_showMessage(const std::string& text, MessageLogging logging) {
    {
        MessageState& s = state();
        std::lock_guard lock(s.mutex);
        if (!s.lines.error.empty()) return;
        s.lines.message = text;
        s.lines.shownAt = text.empty() ? 0 : std::max<std::uint32_t>(s.clock, 1);
    }
    if (logging == MessageLogging::logged && !text.empty()) gf_log(text);
    requestRepaint();
}

void gf_clearMessage() { gf_showMessage({}, MessageLogging::notLogged); }

void gf_reportError(const std::string& text) {
    {
        MessageState& s = state();
        std::lock_guard lock(s.mutex);
        s.lines.message.clear();
        s.lines.shownAt = 0;
        s.lines.error = text;
        gf_log(fmt::format("Error {}", text));
    }
    requestRepaint();
}

void clearError() {
    {
        std::lock_guard lock(state().mutex);
        state().lines.error.clear();
    }
    gf_clearMessage();
}

MessageLines messageLines() {
    std::lock_guard lock(state().mutex);
    return state().lines;
}

void tickMessageClock() {
    bool expired = false;
    {
        MessageState& s = state();
        std::lock_guard lock(s.mutex);
        ++s.clock;
        expired = s.lines.shownAt >= 1 && s.clock >= s.lines.shownAt + kMessageLifeSeconds;
    }
    if (expired) gf_clearMessage();
}

void resetMessages() {
    {
        MessageState& s = state();
        std::lock_guard lock(s.mutex);
        s.lines = {};
        s.clock = 0;
    }
    requestRepaint();
}

MessageRepaint::MessageRepaint(Status& status) {
    std::lock_guard lock(state().mutex);
    if (state().status != nullptr) throw std::logic_error("the message lines are repainted by another window already");
    state().status = &status;
}

MessageRepaint::~MessageRepaint() {
    std::lock_guard lock(state().mutex);
    state().status = nullptr;
}

void requireMessageRepaint() {
    std::lock_guard lock(state().mutex);
    if (state().status == nullptr) throw std::logic_error("the message lines are repainted by no window");
}

}  // namespace qvl
