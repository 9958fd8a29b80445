#include "run/close_bound.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <utility>

#include "core/log.h"
#include "core/paths.h"

namespace qvl {

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
    static std::atomic<bool> ending{false};
    if (!ending.exchange(true)) {
        gf_logAttention(fmt::format("The {} thread has not ended within {} ms: {} ends at once with exit code 1",
                                    thread, bound.count(), kProductName));
        gf_flushLog();
        std::_Exit(1);
    }
    // The first has written the last line and ends the process now.
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

}  // namespace qvl
