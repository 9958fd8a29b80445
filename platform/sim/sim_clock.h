// The stand-in simulator's time source. Unit tests drive a manual clock step
// by step; runs use the steady clock.
#pragma once

#include <atomic>
#include <chrono>

namespace qvl::sim {

class SimClock {
public:
    virtual ~SimClock() = default;
    // Time since an arbitrary start; never goes back.
    virtual std::chrono::nanoseconds now() const = 0;
};

class SteadySimClock final : public SimClock {
public:
    SteadySimClock() : start_(std::chrono::steady_clock::now()) {}
    std::chrono::nanoseconds now() const override { return std::chrono::steady_clock::now() - start_; }

private:
    const std::chrono::steady_clock::time_point start_;
};

// Moves only when told to; safe to advance from one thread while another reads.
class ManualSimClock final : public SimClock {
public:
    std::chrono::nanoseconds now() const override {
        return std::chrono::nanoseconds(ticks_.load(std::memory_order_acquire));
    }
    void advance(std::chrono::nanoseconds by) {
        if (by.count() > 0) ticks_.fetch_add(by.count(), std::memory_order_acq_rel);
    }

private:
    std::atomic<std::chrono::nanoseconds::rep> ticks_{0};
};

}  // namespace qvl::sim
