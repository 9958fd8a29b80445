// The runner of the scans' workers: one thread per task, at most workerCount
// tasks running at once, and the results handed back in the order the tasks
// were submitted. Every wait is bounded by the pool's time-out.
//
// A scan drives it from one thread:
//     if (!pool.submit(task, stopping)) break;          // closing: start nothing more
//     while (pool.hasSurplus()) use(pool.takeOldest());
//     ...
//     while (pool.hasPending()) use(pool.takeOldest());
// takeOldest() throws again what the task let out, or TaskTimeoutError when
// the oldest result is not ready within the time-out; the caller decides
// whether the scan goes on. A task that was given up keeps its slot until it
// ends; joinAll() waits for such tasks, boundedly, before the next scan.
//
// At the pool's end every task is asked to stop (through the std::stop_token
// it may take) and the pool waits at most its time-out for them. A task that
// is still running then is left to end on its own: its thread is detached,
// the one place where a thread of ours is, so that a task blocked for good
// never blocks the program's exit. Such a thread touches only its own result
// and the pool's counters, which it co-owns; whatever else the task touches
// it must own too: a task takes its inputs by value (or shares ownership of
// them) and returns its findings, which the driver merges on its own thread.
// A task that holds a reference to the driver's state may outlive that state.
//
// Only the driving thread calls the pool, except runningCount(), which any
// thread may read.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace qvl {

// The scans' worker bound: the processors this process may run on (its
// affinity), else the hardware thread count, 2 when neither is known.
[[nodiscard]] std::int32_t scanWorkerCount() noexcept;

inline constexpr std::chrono::milliseconds kTaskTimeout{10000};

// A result, or a free slot, that did not come within the time-out.
// what(): "Future wait timed out after 10 seconds", with the time-out's seconds.
class TaskTimeoutError : public std::runtime_error {
public:
    explicit TaskTimeoutError(std::chrono::milliseconds timeout);

    [[nodiscard]] std::chrono::milliseconds timeout() const noexcept { return timeout_; }

private:
    std::chrono::milliseconds timeout_;
};

struct TaskPoolOptions {
    // Tasks running at once; less than 1 counts as 1.
    std::int32_t workerCount = scanWorkerCount();
    // The longest wait for one result, for a free slot and at the pool's end.
    std::chrono::milliseconds timeout = kTaskTimeout;
};

template <typename Result>
class TaskPool {
public:
    explicit TaskPool(TaskPoolOptions options = {})
        : workerCount_(std::max<std::int32_t>(options.workerCount, 1)), timeout_(options.timeout) {}

    ~TaskPool() {
        for (Worker& worker : workers_) worker.thread.request_stop();
        if (joinAll(timeout_)) return;
        for (Worker& worker : workers_) worker.thread.detach();
    }

    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;
    TaskPool(TaskPool&&) = delete;
    TaskPool& operator=(TaskPool&&) = delete;

    // Starts `task` (callable as task() or task(std::stop_token)) on a thread
    // of its own once fewer than workerCount tasks run. False, with nothing
    // started, when `stopping` turns true first; TaskTimeoutError when no
    // slot is free within the time-out.
    template <typename Task>
    bool submit(Task task, const std::function<bool()>& stopping = {}) {
        reapEnded();
        workers_.reserve(workers_.size() + 1);
        std::promise<Result> promise;
        std::future<Result> result = promise.get_future();
        if (!claimSlot(stopping)) return false;
        const std::uint64_t number = nextNumber_++;
        try {
            workers_.push_back(
                {.number = number, .thread = std::jthread(runner(number, std::move(promise), std::move(task)))});
        } catch (...) {
            finish(*shared_, std::nullopt);
            throw;
        }
        pending_.push_back(std::move(result));
        return true;
    }

    // More results wait than tasks may run: the driver takes the oldest now.
    [[nodiscard]] bool hasSurplus() const noexcept { return pending_.size() > static_cast<std::size_t>(workerCount_); }
    [[nodiscard]] bool hasPending() const noexcept { return !pending_.empty(); }

    // The oldest pending result, waited for at most the time-out. It leaves
    // the pending results in every case: given up on a time-out (the task
    // keeps running), thrown again when its task failed.
    Result takeOldest() {
        if (pending_.empty()) throw std::logic_error("no pending task result");
        std::future<Result> oldest = std::move(pending_.front());
        pending_.pop_front();
        if (oldest.wait_for(timeout_) != std::future_status::ready) throw TaskTimeoutError(timeout_);
        return oldest.get();
    }

    // Tasks started and not yet ended, given-up ones included.
    [[nodiscard]] std::int32_t runningCount() const {
        const std::lock_guard lock(shared_->mutex);
        return shared_->running;
    }

    // Ends a round: drops the results not taken, waits at most `bound` for
    // the running tasks and joins the threads that ended. True when none is
    // left running.
    bool joinAll(std::chrono::milliseconds bound) {
        pending_.clear();
        {
            std::unique_lock lock(shared_->mutex);
            shared_->changed.wait_for(lock, bound, [this] { return shared_->running == 0; });
        }
        reapEnded();
        return workers_.empty();
    }

private:
    // What the pool shares with its threads; a thread left running after the
    // pool's end keeps it alive. Lock order: this mutex alone.
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::int32_t running = 0;
        // Threads whose task has ended, by number, not yet joined.
        std::vector<std::uint64_t> ended;
    };

    struct Worker {
        std::uint64_t number = 0;
        std::jthread thread;
    };

    // Gives a slot back. A task counts as running until its result is set,
    // and it is listed as ended in the same step, so once the count is 0
    // every thread can be joined without waiting on a task.
    static void finish(Shared& shared, std::optional<std::uint64_t> endedNumber) {
        const std::lock_guard lock(shared.mutex);
        --shared.running;
        if (endedNumber) shared.ended.push_back(*endedNumber);
        shared.changed.notify_all();
    }

    template <typename Task>
    auto runner(std::uint64_t number, std::promise<Result> promise, Task task) {
        return [shared = shared_, number, promise = std::move(promise),
                task = std::move(task)](std::stop_token stop) mutable {
            {
                Task body = std::move(task);  // its captures end before the slot is given back
                try {
                    if constexpr (std::is_void_v<Result>) {
                        call(body, stop);
                        promise.set_value();
                    } else {
                        promise.set_value(call(body, stop));
                    }
                } catch (...) {
                    promise.set_exception(std::current_exception());
                }
            }
            finish(*shared, number);
        };
    }

    template <typename Task>
    static Result call(Task& task, const std::stop_token& stop) {
        if constexpr (std::is_invocable_v<Task&, std::stop_token>) {
            return task(stop);
        } else {
            return task();
        }
    }

    bool claimSlot(const std::function<bool()>& stopping) {
        constexpr std::chrono::milliseconds kStopPollPeriod{10};
        const auto deadline = std::chrono::steady_clock::now() + timeout_;
        std::unique_lock lock(shared_->mutex);
        while (true) {
            if (stopping && stopping()) return false;
            if (shared_->running < workerCount_) break;
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) throw TaskTimeoutError(timeout_);
            shared_->changed.wait_for(lock, std::min<std::chrono::steady_clock::duration>(left, kStopPollPeriod));
        }
        ++shared_->running;
        return true;
    }

    void reapEnded() {
        std::vector<std::uint64_t> ended;
        {
            const std::lock_guard lock(shared_->mutex);
            ended.swap(shared_->ended);
        }
        for (Worker& worker : workers_) {
            if (std::find(ended.begin(), ended.end(), worker.number) != ended.end()) worker.thread.join();
        }
        std::erase_if(workers_, [](const Worker& worker) { return !worker.thread.joinable(); });
    }

    std::int32_t workerCount_;
    std::chrono::milliseconds timeout_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::deque<std::future<Result>> pending_;
    std::vector<Worker> workers_;
    std::uint64_t nextNumber_ = 0;
};

}  // namespace qvl
