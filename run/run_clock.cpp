#include "run/run_clock.h"

#include <algorithm>
#include <thread>

#include "core/run_state.h"

namespace qvl {

void SteadyRunClock::sleepUntil(time_point when) { std::this_thread::sleep_until(when); }

RunClock::time_point ManualRunClock::now() {
    const std::lock_guard lock(mutex_);
    return now_;
}

void ManualRunClock::sleepUntil(time_point when) {
    Observer observer;
    {
        const std::lock_guard lock(mutex_);
        if (when <= now_) return;
        observer = observer_;
    }
    // Called unlocked: the observer may read the clock.
    if (observer) observer(when);
    const std::lock_guard lock(mutex_);
    now_ = std::max(now_, when);
}

void ManualRunClock::advance(duration by) {
    const std::lock_guard lock(mutex_);
    if (by > duration::zero()) now_ += by;
}

void ManualRunClock::setObserver(Observer observer) {
    const std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

bool sleepUnlessClosing(RunClock& clock, const RunState& run, RunClock::duration total, RunClock::duration slice) {
    const RunClock::time_point end = clock.now() + total;
    while (!run.isClosing()) {
        const RunClock::time_point now = clock.now();
        if (now >= end) return true;
        clock.sleepUntil(std::min(end, now + slice));
    }
    return false;
}

}  // namespace qvl
