#include "run/close_bound.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/paths.h"
#include "core/threads_left_behind.h"

namespace qvl {
namespace {

constinit std::atomic<bool> ending{false};

// The first caller arms the exit and returns; any other waits for it. The
// exit comes after kLastLineBound whatever the line meets: armed on a thread
// of its own before the line is made or tried, so that neither the log's
// lock nor a write that never returns can keep the process.
void armTheEnd(std::int32_t exitCode) {
    if (ending.exchange(true)) {
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    try {
        std::thread([exitCode] {
            std::this_thread::sleep_for(kLastLineBound);
            std::_Exit(exitCode);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to bound the line with: end without it.
        std::_Exit(exitCode);
    }
}

[[noreturn]] void endWithLastLine(std::string_view line, std::int32_t exitCode) {
    logLastLine(line, kLastLineBound);
    std::_Exit(exitCode);
}

}  // namespace

CloseBound::CloseBound(std::chrono::milliseconds bound) : bound_(bound) {}

CloseBound::~CloseBound() { withdraw(); }

void CloseBound::start() {
    const std::lock_guard lock(mutex_);
    if (deadline_) return;
    const auto deadline = std::chrono::steady_clock::now() + bound_;
    deadline_ = deadline;
    watch_ = std::jthread([this, deadline](const std::stop_token& stop) { watch(stop, deadline); });
}

void CloseBound::withdraw() {
    std::jthread ended;
    {
        const std::lock_guard lock(mutex_);
        deadline_.reset();
        ended = std::move(watch_);
    }
    // Stopped and joined here, outside the lock that its wait gives back.
}

void CloseBound::awaiting(std::string_view thread) {
    const std::lock_guard lock(mutex_);
    awaited_ = thread;
}

std::chrono::milliseconds CloseBound::left() const {
    const std::lock_guard lock(mutex_);
    if (!deadline_) return bound_;
    const auto rest =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - std::chrono::steady_clock::now());
    return std::max(rest, std::chrono::milliseconds(0));
}

void CloseBound::watch(const std::stop_token& stop, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, stop, deadline, [] { return false; });
    if (stop.stop_requested()) return;
    const std::string thread = awaited_;
    lock.unlock();
    endWhileAThreadRuns(thread, bound_);
}

void endWhileAThreadRuns(std::string_view thread, std::chrono::milliseconds bound) {
    armTheEnd(1);
    endWithLastLine(fmt::format("The {} thread has not ended within {} ms: {} ends at once with exit code 1", thread,
                                bound.count(), kProductName),
                    1);
}

void endIfAThreadWasLeftBehind(std::int32_t exitCode, std::size_t alreadyLeft) {
    const std::vector<std::string> recorded = threadsLeftBehind();
    if (recorded.size() <= alreadyLeft) return;
    armTheEnd(exitCode);
    // Each kind named once, in the order first left behind.
    std::vector<std::string> threads;
    for (auto it = recorded.begin() + static_cast<std::ptrdiff_t>(alreadyLeft); it != recorded.end(); ++it) {
        if (std::find(threads.begin(), threads.end(), *it) == threads.end()) threads.push_back(*it);
    }
    endWithLastLine(fmt::format("A thread left behind has not ended ({}): {} ends at once with exit code {}",
                                fmt::join(threads, ", "), kProductName, exitCode),
                    exitCode);
}

}  // namespace qvl
