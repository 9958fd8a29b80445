// The clock that the run's loops and waits read. The program runs on the
// steady clock; tests hand in a manual clock whose sleeps move time at once,
// so a 15-second wait or a day of main-loop seconds takes no wall time.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>

namespace qvl {

struct RunState;

class RunClock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    using duration = std::chrono::steady_clock::duration;

    virtual ~RunClock() = default;
    [[nodiscard]] virtual time_point now() = 0;
    // Returns once the clock has reached the time (at once when it has).
    virtual void sleepUntil(time_point when) = 0;
};

class SteadyRunClock final : public RunClock {
public:
    time_point now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(time_point when) override;
};

// Time moves only by sleeping (or advance()). Every sleep first calls the
// observer with the time it wakes at, so a test can act "during" the wait:
// raise a closing flag, mark a simulator second.
class ManualRunClock final : public RunClock {
public:
    using Observer = std::function<void(time_point wakeAt)>;

    time_point now() override;
    void sleepUntil(time_point when) override;
    void advance(duration by);
    void setObserver(Observer observer);

private:
    std::mutex mutex_;  // a leaf lock: guards now_ and observer_
    time_point now_{std::chrono::hours(1)};
    Observer observer_;
};

// Sleeps for the duration in slices of at most `slice`, returning early
// (false) as soon as the run is closing; true when the whole time passed.
bool sleepUnlessClosing(RunClock& clock, const RunState& run, RunClock::duration total,
                        RunClock::duration slice = std::chrono::milliseconds(100));

}  // namespace qvl
