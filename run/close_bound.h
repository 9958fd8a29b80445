// From the first request to close on, the process has a bound to end in. A
// thread that never returns (a run step blocked on a folder whose reads
// never return, say) must not keep the process: when the end has not come
// by the bound, the last line goes to Log.txt and the process ends at once
// with exit code 1, whatever the UI thread is doing. The bound starts on the
// side that receives the request (the window's close on the UI thread, a
// close signal on the signal watcher's thread), never waiting for another
// thread to pass the request on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

namespace qvl {

class CloseBound {
public:
    explicit CloseBound(std::chrono::milliseconds bound);
    // The end came in time: the watch ends.
    ~CloseBound();
    CloseBound(const CloseBound&) = delete;
    CloseBound& operator=(const CloseBound&) = delete;

    // Any thread: the first request starts the bound; later ones find it
    // running.
    void start();
    // Any thread: the close that started the bound was taken up as a restart,
    // so the program goes on; a later close starts the bound anew.
    void withdraw();
    // The thread the end waits for now, named in the last line.
    void awaiting(std::string_view thread);
    // What is left of a started bound (never below 0); all of it before the start.
    [[nodiscard]] std::chrono::milliseconds left() const;

private:
    void watch(const std::stop_token& stop, std::chrono::steady_clock::time_point deadline);

    const std::chrono::milliseconds bound_;
    // Guards what follows; the watch holds it only while it waits.
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::string awaited_ = "run";
    std::jthread watch_;
};

// How long the last line itself may take: it waits for the log's lock, and
// its write may block on a folder that stopped answering, as any writer's.
// The exit is armed before the line is tried and comes when this has passed.
inline constexpr std::chrono::milliseconds kLastLineBound{1000};

// A thread of the run still works with the program's parts, the settings and
// the log: none of them may be freed under it, and no destructor may wait for
// it. So the process ends here, at once, with exit code 1 after its last line
// in Log.txt. The end waits on no lock that a blocked thread may hold: the
// exit is armed first and comes within kLastLineBound whether the line was
// written or not. Of two threads that come here together, the first ends the
// process.
[[noreturn]] void endWhileAThreadRuns(std::string_view thread, std::chrono::milliseconds bound);

// The program has ended with `exitCode`, but a bounded end gave up on a
// thread that still runs (a file writer whose operation has not returned):
// the process ends the same way, with that exit code, never through static
// destructors. Returns when no thread was left behind since the first
// `alreadyLeft` (what was recorded before the program began).
void endIfAThreadWasLeftBehind(std::int32_t exitCode, std::size_t alreadyLeft);

}  // namespace qvl
