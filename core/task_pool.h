// The runner of the scans' workers: up to workerCount long-lived threads,
// at most workerCount tasks running at once, and the results handed back in
// the order the tasks were submitted. Every wait is bounded by the pool's
// time-out.
//
// A scan drives it from one thread:
//     if (!pool.submit(task, stopping)) break;          // closing: start nothing more
//     while (pool.hasSurplus()) use(pool.takeOldest());
//     ...
//     while (pool.hasPending()) use(pool.takeOldest());
// takeOldest() throws again what the task let out, or TaskTimeoutError when
// the oldest result is not ready within the time-out; the caller decides
// whether the scan goes on. A task that was given up keeps its slot (and its
// worker) until it ends; joinAll() waits for such tasks, boundedly, before
// the next scan.
//
// The workers are started as tasks need them and live as long as the pool,
// so that a scan of many small files does not pay for a thread per file.
// At the pool's end every task is asked to stop (through the std::stop_token
// it may take) and the pool waits at most its time-out for them. When a task
// is still running then, the workers are left to end on their own: their
// threads are detached (and recorded as left behind, so that the program
// ends without static destructors), so that a task blocked for good never
// blocks the program's exit. Such a thread
// touches only its own task and what the pool shares with its workers,
// which it co-owns; whatever else the task touches it must own too: a task
// takes its inputs by value (or shares ownership of them) and returns its
// findings, which the driver merges on its own thread. A task that holds a
// reference to the driver's state may outlive that state.
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
#include <stdexcept>
#include <stop_token>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/threads_left_behind.h"

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
    // Tasks that may wait for a worker beyond those that run. With many
    // short tasks a few waiting ones keep the workers busy and spare the
    // driver a wait for every slot; with none, submit waits for a worker.
    std::int32_t queueDepth = 0;
    // With every slot taken, submit is woken once this many are free again
    // (else by its poll, within 10 ms), so that a driver of many short tasks
    // wakes once per batch rather than once per task. 1: as each task ends.
    std::int32_t refillBatch = 1;
};

template <typename Result>
class TaskPool {
public:
    explicit TaskPool(TaskPoolOptions options = {})
        : workerCount_(std::max<std::int32_t>(options.workerCount, 1)),
          slotCount_(workerCount_ + std::max<std::int32_t>(options.queueDepth, 0)),
          timeout_(options.timeout) {
        shared_->wakeAt = std::max<std::int32_t>(slotCount_ - std::max<std::int32_t>(options.refillBatch, 1), 0);
    }

    ~TaskPool() {
        {
            const std::lock_guard lock(shared_->mutex);
            shared_->closing = true;
            shared_->jobAdded.notify_all();
        }
        shared_->stop.request_stop();
        if (joinAll(timeout_)) return;  // every worker ends and is joined here
        recordThreadLeftBehind("scan worker");
        for (std::jthread& worker : workers_) worker.detach();
    }

    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;
    TaskPool(TaskPool&&) = delete;
    TaskPool& operator=(TaskPool&&) = delete;

    // Hands `task` (callable as task() or task(std::stop_token)) to a worker
    // once fewer than workerCount tasks run (or wait, up to the queue
    // depth). False, with nothing started,
    // when `stopping` turns true first; TaskTimeoutError when no slot is
    // free within the time-out.
    template <typename Task>
    bool submit(Task task, const std::function<bool()>& stopping = {}) {
        auto job = std::make_unique<TaskJob<Task>>(std::move(task));
        std::future<Result> result = job->promise.get_future();
        if (!claimSlot(stopping)) return false;
        try {
            startWorkerIfNeeded();
        } catch (...) {
            finish(*shared_);
            throw;
        }
        {
            const std::lock_guard lock(shared_->mutex);
            shared_->jobs.push_back(std::move(job));
            shared_->jobAdded.notify_one();
        }
        pending_.push_back(std::move(result));
        return true;
    }

    // More results wait than tasks may run or wait: the driver takes the
    // oldest now.
    [[nodiscard]] bool hasSurplus() const noexcept { return pending_.size() > static_cast<std::size_t>(slotCount_); }
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

    // Tasks handed over and not yet ended, given-up ones and waiting ones
    // included.
    [[nodiscard]] std::int32_t runningCount() const {
        const std::lock_guard lock(shared_->mutex);
        return shared_->running;
    }

    // Ends a round: drops the results not taken and waits at most `bound`
    // for the tasks handed over (a waiting one still runs). True when none
    // is left running. At the pool's end it also joins the workers once none
    // runs a task.
    bool joinAll(std::chrono::milliseconds bound) {
        pending_.clear();
        bool closing = false;
        {
            std::unique_lock lock(shared_->mutex);
            if (!shared_->changed.wait_for(lock, bound, [this] { return shared_->running == 0; })) return false;
            closing = shared_->closing;
        }
        if (closing) {
            for (std::jthread& worker : workers_) worker.join();
            workers_.clear();
        }
        return true;
    }

private:
    struct Job {
        Job() = default;
        virtual ~Job() = default;
        Job(const Job&) = delete;
        Job& operator=(const Job&) = delete;
        Job(Job&&) = delete;
        Job& operator=(Job&&) = delete;
        virtual void run(const std::stop_token& stop) = 0;
    };

    template <typename Task>
    struct TaskJob final : Job {
        explicit TaskJob(Task&& body) : task(std::move(body)) {}
        void run(const std::stop_token& stop) override {
            try {
                if constexpr (std::is_void_v<Result>) {
                    call(task, stop);
                    promise.set_value();
                } else {
                    promise.set_value(call(task, stop));
                }
            } catch (...) {
                promise.set_exception(std::current_exception());
            }
        }
        Task task;
        std::promise<Result> promise;
    };

    // What the pool shares with its workers; a worker left running after
    // the pool's end keeps it alive. Lock order: this mutex alone.
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;   // a task ended
        std::condition_variable jobAdded;  // a job waits, or the pool ends
        std::deque<std::unique_ptr<Job>> jobs;
        // Tasks handed over and not yet ended: those waiting in `jobs` and
        // those a worker runs.
        std::int32_t running = 0;
        // Workers waiting for a job.
        std::int32_t idle = 0;
        // A task's end wakes the waiters only once no more than this many
        // run; never below 0, so the end of the last task always wakes them.
        std::int32_t wakeAt = 0;
        bool closing = false;
        // Asked at the pool's end, for the tasks that watch their token.
        std::stop_source stop;
    };

    // Gives a slot back. A task counts as running until its result is set
    // and its captures are gone.
    static void finish(Shared& shared) {
        const std::lock_guard lock(shared.mutex);
        --shared.running;
        shared.changed.notify_all();
    }

    static void work(const std::shared_ptr<Shared>& shared) {
        const std::stop_token stop = shared->stop.get_token();
        std::unique_lock lock(shared->mutex);
        while (true) {
            ++shared->idle;
            shared->jobAdded.wait(lock, [&] { return !shared->jobs.empty() || shared->closing; });
            --shared->idle;
            if (shared->jobs.empty()) return;  // closing, and nothing is left to run
            std::unique_ptr<Job> job = std::move(shared->jobs.front());
            shared->jobs.pop_front();
            lock.unlock();
            job->run(stop);
            job.reset();  // its captures end before the slot is given back
            lock.lock();
            --shared->running;
            if (shared->running <= shared->wakeAt) shared->changed.notify_all();
        }
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
            if (shared_->running < slotCount_) break;
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) throw TaskTimeoutError(timeout_);
            shared_->changed.wait_for(lock, std::min<std::chrono::steady_clock::duration>(left, kStopPollPeriod));
        }
        ++shared_->running;
        return true;
    }

    // A new worker when every one is busy or already promised a waiting job,
    // up to workerCount; beyond that the job waits for the next free worker.
    void startWorkerIfNeeded() {
        {
            const std::lock_guard lock(shared_->mutex);
            if (static_cast<std::size_t>(shared_->idle) > shared_->jobs.size()) return;
        }
        if (workers_.size() >= static_cast<std::size_t>(workerCount_)) return;
        workers_.emplace_back([shared = shared_] { work(shared); });
    }

    std::int32_t workerCount_;
    std::int32_t slotCount_;  // workers and waiting places
    std::chrono::milliseconds timeout_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::deque<std::future<Result>> pending_;
    std::vector<std::jthread> workers_;
};

}  // namespace qvl
