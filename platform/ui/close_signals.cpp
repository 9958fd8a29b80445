#include "platform/ui/close_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <stop_token>
#include <thread>
#include <utility>

#include "platform/ui/window.h"

namespace qvl::ui {

namespace {

// A signal handler reaches no object: the write end of the pipe is the one
// thing it needs, kept where the handler can read it without a lock.
std::atomic<int> signalPipeWriteEnd{-1};
std::atomic<bool> signalsTaken{false};

constexpr std::array kCloseSignals{SIGINT, SIGTERM};
constexpr int kPollMilliseconds = 100;

extern "C" void onCloseSignal(int) {
    const int savedErrno = errno;
    const int fd = signalPipeWriteEnd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

// True when the pipe held at least one byte; empties it.
bool drainPipe(int fd) {
    bool any = false;
    char buffer[16];
    while (::read(fd, buffer, sizeof buffer) > 0) any = true;
    return any;
}

}  // namespace

struct CloseOnSignals::Watch {
    int readEnd = -1;
    int writeEnd = -1;
    std::array<struct sigaction, kCloseSignals.size()> previous{};
    std::jthread watcher;
};

CloseOnSignals::CloseOnSignals(Window& window, std::function<void()> onSignal) {
    if (!onSignal) throw std::invalid_argument("CloseOnSignals needs its onSignal hook");
    if (signalsTaken.exchange(true)) return;
    auto watch = std::make_unique<Watch>();
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalsTaken.store(false);
        return;
    }
    watch->readEnd = fds[0];
    watch->writeEnd = fds[1];
    signalPipeWriteEnd.store(watch->writeEnd);

    struct sigaction action {};
    action.sa_handler = onCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kCloseSignals.size(); ++i) {
        ::sigaction(kCloseSignals[i], &action, &watch->previous[i]);
    }

    const int readEnd = watch->readEnd;
    watch->watcher = std::jthread([&window, readEnd, onSignal = std::move(onSignal)](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            pollfd waitFor{.fd = readEnd, .events = POLLIN, .revents = 0};
            if (::poll(&waitFor, 1, kPollMilliseconds) > 0 && drainPipe(readEnd)) {
                onSignal();
                window.requestClose();
            }
        }
    });
    watch_ = std::move(watch);
}

CloseOnSignals::~CloseOnSignals() {
    if (!watch_) return;
    for (std::size_t i = 0; i < kCloseSignals.size(); ++i) {
        ::sigaction(kCloseSignals[i], &watch_->previous[i], nullptr);
    }
    signalPipeWriteEnd.store(-1);
    watch_->watcher = std::jthread();  // asks the watcher to stop and joins it
    ::close(watch_->readEnd);
    ::close(watch_->writeEnd);
    watch_.reset();
    signalsTaken.store(false);
}

bool CloseOnSignals::installed() const noexcept { return watch_ != nullptr; }

}  // namespace qvl::ui
