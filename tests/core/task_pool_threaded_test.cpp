// The scans' task pool with real threads: order of results, the bound on
// running tasks, time-outs, failing tasks and the bounded end. Run under the
// thread sanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/task_pool.h"

#include "platform/sys/process.h"
#include "support/one_processor.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Long enough for a loaded sanitizer run, and only ever reached by a fault.
constexpr std::chrono::milliseconds kSafetyBound{10000};
constexpr std::chrono::milliseconds kShortTimeout{30};

// A door that tasks wait at until the test opens it (never longer than the
// safety bound, so a faulty pool cannot hang the suite). Tasks share it, as
// a task that a pool gave up may outlive the test's scope.
class Gate {
public:
    void open() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kSafetyBound, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Submits `count` tasks the way a scan does and takes every result in order.
std::vector<int> runScan(TaskPool<int>& pool, int count, const std::function<int(int)>& work) {
    std::vector<int> results;
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(pool.submit([i, &work] { return work(i); }));
        while (pool.hasSurplus()) results.push_back(pool.takeOldest());
    }
    while (pool.hasPending()) results.push_back(pool.takeOldest());
    return results;
}

std::vector<int> upTo(int count) {
    std::vector<int> numbers;
    numbers.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) numbers.push_back(i);
    return numbers;
}

TEST(TaskPoolThreaded, ResultsComeInStartOrderWhenTasksEndInReverse) {
    constexpr int kTasks = 4;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> endOrder;
    TaskPool<int> pool({.workerCount = kTasks, .timeout = kSafetyBound});  // ends before what its tasks use
    for (int i = 0; i < kTasks; ++i) {
        // Task i ends only after every later task has ended.
        ASSERT_TRUE(pool.submit([&, i] {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, kSafetyBound, [&] { return endOrder.size() == std::size_t(kTasks - 1 - i); });
            endOrder.push_back(i);
            changed.notify_all();
            return i;
        }));
    }
    std::vector<int> results;
    while (pool.hasPending()) results.push_back(pool.takeOldest());

    EXPECT_EQ(endOrder, (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(results, upTo(kTasks));
}

TEST(TaskPoolThreaded, ManyTasksKeepTheirOrderAndAtMostWorkerCountRun) {
    constexpr std::int32_t kWorkers = 3;
    constexpr int kTasks = 60;
    std::mutex mutex;
    std::condition_variable changed;
    int inFlight = 0;
    int peak = 0;
    std::atomic<std::int32_t> peakCounted{0};
    TaskPool<int> pool({.workerCount = kWorkers, .timeout = kSafetyBound});
    const auto work = [&](int i) {
        std::unique_lock lock(mutex);
        peak = std::max(peak, ++inFlight);
        peakCounted = std::max(peakCounted.load(), pool.runningCount());
        changed.notify_all();
        // Wait a little for the others, so that the tasks overlap.
        changed.wait_for(lock, 20ms, [&] { return inFlight >= kWorkers; });
        --inFlight;
        return i;
    };
    EXPECT_EQ(runScan(pool, kTasks, work), upTo(kTasks));
    EXPECT_EQ(peak, kWorkers);
    EXPECT_LE(peakCounted.load(), kWorkers);
    EXPECT_TRUE(pool.joinAll(kSafetyBound));
    EXPECT_EQ(pool.runningCount(), 0);
}

TEST(TaskPoolThreaded, ATaskThatFailsReachesTheCallerAndThePoolGoesOn) {
    TaskPool<int> pool({.workerCount = 2, .timeout = kSafetyBound});
    std::vector<int> results;
    std::vector<std::string> problems;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(pool.submit([i] {
            if (i % 3 == 1) throw std::runtime_error("bad file " + std::to_string(i));
            return i;
        }));
        while (pool.hasSurplus()) {
            try {
                results.push_back(pool.takeOldest());
            } catch (const std::runtime_error& e) {
                problems.emplace_back(e.what());
            }
        }
    }
    while (pool.hasPending()) {
        try {
            results.push_back(pool.takeOldest());
        } catch (const std::runtime_error& e) {
            problems.emplace_back(e.what());
        }
    }
    EXPECT_EQ(results, (std::vector<int>{0, 2, 3, 5, 6}));
    EXPECT_EQ(problems, (std::vector<std::string>{"bad file 1", "bad file 4", "bad file 7"}));
}

TEST(TaskPoolThreaded, TheTimeOutNamesItsSeconds) {
    EXPECT_STREQ(TaskTimeoutError(kTaskTimeout).what(), "Future wait timed out after 10 seconds");
    EXPECT_STREQ(TaskTimeoutError(kShortTimeout).what(), "Future wait timed out after 0.03 seconds");
}

TEST(TaskPoolThreaded, AHungTaskTimesOutAndTheJoinIsBounded) {
    const auto hang = std::make_shared<Gate>();
    TaskPool<int> pool({.workerCount = 2, .timeout = kShortTimeout});
    ASSERT_TRUE(pool.submit([hang] {
        hang->wait();
        return 0;
    }));
    ASSERT_TRUE(pool.submit([] { return 1; }));
    ASSERT_TRUE(pool.submit([] { return 2; }));
    ASSERT_TRUE(pool.hasSurplus());

    const auto start = Clock::now();
    EXPECT_THROW(pool.takeOldest(), TaskTimeoutError);
    EXPECT_EQ(pool.takeOldest(), 1);  // the given-up result left the line
    EXPECT_FALSE(pool.joinAll(kShortTimeout));
    EXPECT_LT(Clock::now() - start, kSafetyBound / 2);
    EXPECT_EQ(pool.runningCount(), 1);

    hang->open();
    EXPECT_TRUE(pool.joinAll(kSafetyBound));
    EXPECT_EQ(pool.runningCount(), 0);
}

TEST(TaskPoolThreaded, MoreResultsThanWorkersAreASurplus) {
    constexpr std::int32_t kWorkers = 3;
    TaskPool<int> pool({.workerCount = kWorkers, .timeout = kSafetyBound});
    for (int i = 0; i < kWorkers; ++i) ASSERT_TRUE(pool.submit([i] { return i; }));
    EXPECT_FALSE(pool.hasSurplus()) << "as many results as workers wait";
    ASSERT_TRUE(pool.submit([] { return kWorkers; }));
    EXPECT_TRUE(pool.hasSurplus());
    EXPECT_EQ(pool.takeOldest(), 0);
    EXPECT_FALSE(pool.hasSurplus());
}

// The waits end near their limits: past them, never long after. The upper
// bound is a few times the limit, room for a loaded sanitizer run.
constexpr std::chrono::milliseconds kLimit{100};
constexpr std::chrono::milliseconds kWellPastTheLimit = 4 * kLimit;

TEST(TaskPoolThreaded, TakingAHungResultTimesOutCloseToTheLimit) {
    const auto hang = std::make_shared<Gate>();
    TaskPool<int> pool({.workerCount = 2, .timeout = kLimit});
    ASSERT_TRUE(pool.submit([hang] {
        hang->wait();
        return 0;
    }));
    const auto start = Clock::now();
    EXPECT_THROW(pool.takeOldest(), TaskTimeoutError);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, kLimit);
    EXPECT_LT(waited, kWellPastTheLimit);
    hang->open();
    EXPECT_TRUE(pool.joinAll(kSafetyBound));
}

TEST(TaskPoolThreaded, JoiningAHungTaskEndsCloseToTheJoinsOwnBound) {
    const auto hang = std::make_shared<Gate>();
    // The pool's own time-out is long: the join keeps to the bound it is given.
    TaskPool<int> pool({.workerCount = 2, .timeout = kSafetyBound});
    ASSERT_TRUE(pool.submit([hang] {
        hang->wait();
        return 0;
    }));
    const auto start = Clock::now();
    EXPECT_FALSE(pool.joinAll(kLimit));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, kLimit);
    EXPECT_LT(waited, kWellPastTheLimit);
    hang->open();
    EXPECT_TRUE(pool.joinAll(kSafetyBound));
}

TEST(TaskPoolThreaded, ASecondRoundAfterATimeOutWorksOnceTheHungTaskEnds) {
    const auto hang = std::make_shared<Gate>();
    TaskPool<int> pool({.workerCount = 2, .timeout = kShortTimeout});
    ASSERT_TRUE(pool.submit([hang] {
        hang->wait();
        return -1;
    }));
    ASSERT_TRUE(pool.submit([] { return -2; }));
    ASSERT_TRUE(pool.submit([] { return -3; }));
    EXPECT_THROW(pool.takeOldest(), TaskTimeoutError);  // the first round ends here
    hang->open();
    ASSERT_TRUE(pool.joinAll(kSafetyBound));

    // Nothing of the first round comes out in the second.
    EXPECT_EQ(runScan(pool, 10, [](int i) { return i; }), upTo(10));
}

TEST(TaskPoolThreaded, SubmitEndsOnTheClosingTestOrAfterTheTimeOut) {
    const auto hang = std::make_shared<Gate>();
    TaskPool<int> pool({.workerCount = 1, .timeout = kShortTimeout});
    ASSERT_TRUE(pool.submit([hang] {
        hang->wait();
        return 0;
    }));
    std::atomic<bool> closing{true};
    EXPECT_FALSE(pool.submit([] { return 1; }, [&] { return closing.load(); }));
    EXPECT_THROW(pool.submit([] { return 2; }), TaskTimeoutError);
    EXPECT_EQ(pool.runningCount(), 1);
    hang->open();
    EXPECT_EQ(pool.takeOldest(), 0);
    EXPECT_FALSE(pool.hasPending());
}

TEST(TaskPoolThreaded, ThePoolsEndStopsTasksThatWatchTheirToken) {
    std::atomic<bool> sawStop{false};
    const auto start = Clock::now();
    {
        TaskPool<void> pool({.workerCount = 2, .timeout = kSafetyBound});
        ASSERT_TRUE(pool.submit([&](const std::stop_token& stop) {
            std::mutex mutex;
            std::condition_variable_any changed;
            std::unique_lock lock(mutex);
            changed.wait_for(lock, stop, kSafetyBound, [] { return false; });
            sawStop = stop.stop_requested();
        }));
    }
    EXPECT_TRUE(sawStop.load());
    EXPECT_LT(Clock::now() - start, kSafetyBound / 2);
}

TEST(TaskPoolThreaded, ThePoolsEndIsBoundedWhenATaskNeverEnds) {
    const auto hang = std::make_shared<Gate>();
    const auto start = Clock::now();
    {
        TaskPool<int> pool({.workerCount = 2, .timeout = kShortTimeout});
        ASSERT_TRUE(pool.submit([hang] {
            hang->wait();
            return 0;
        }));
    }
    EXPECT_LT(Clock::now() - start, kSafetyBound / 2);
    hang->open();
}

TEST(TaskPoolThreaded, WorkersServeManyTasksAndAQueueKeepsThemBusy) {
    constexpr std::int32_t kWorkers = 2;
    constexpr std::int32_t kQueued = 3;
    const auto hold = std::make_shared<Gate>();
    std::mutex mutex;
    std::set<std::thread::id> threads;
    TaskPool<int> queued({.workerCount = kWorkers, .timeout = kLimit, .queueDepth = kQueued});
    // While both workers are held, the queue takes its tasks without a wait
    // and no more than workerCount of them start.
    std::atomic<int> started{0};
    for (int i = 0; i < kWorkers + kQueued; ++i) {
        ASSERT_TRUE(queued.submit([i, hold, &started] {
            ++started;
            hold->wait();
            return i;
        }));
    }
    EXPECT_FALSE(queued.hasSurplus());
    EXPECT_THROW(queued.submit([] { return -1; }, {}), TaskTimeoutError) << "no slot beyond the queue";
    EXPECT_LE(started.load(), kWorkers);
    hold->open();
    std::vector<int> results;
    while (queued.hasPending()) results.push_back(queued.takeOldest());
    EXPECT_EQ(results, upTo(kWorkers + kQueued));

    TaskPool<int> pool({.workerCount = kWorkers, .timeout = kSafetyBound, .queueDepth = kQueued});

    // A thousand tasks run on the pool's few workers, not on a thread each.
    const auto work = [&](int i) {
        const std::lock_guard lock(mutex);
        threads.insert(std::this_thread::get_id());
        return i;
    };
    EXPECT_EQ(runScan(pool, 1000, work), upTo(1000));
    EXPECT_LE(threads.size(), static_cast<std::size_t>(kWorkers));
}

// A driver woken only once a batch of slots is free still gets every slot,
// also while a hung task keeps the pool from ever freeing a whole batch, and
// the end of the last task still ends a wait for all of them.
TEST(TaskPoolThreaded, ARefillBatchLargerThanThePoolStillHandsOutEverySlot) {
    const auto hang = std::make_shared<Gate>();
    TaskPool<int> pool({.workerCount = 2, .timeout = kSafetyBound, .queueDepth = 2, .refillBatch = 10});
    ASSERT_TRUE(pool.submit([hang] {
        hang->wait();
        return -1;
    }));
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(pool.submit([i] { return i; }));
    hang->open();
    std::vector<int> results;
    while (pool.hasPending()) results.push_back(pool.takeOldest());
    std::vector<int> expected{-1};
    for (int i = 0; i < 30; ++i) expected.push_back(i);
    EXPECT_EQ(results, expected);
    ASSERT_TRUE(pool.submit([] {
        std::this_thread::sleep_for(20ms);
        return 0;
    }));
    const auto start = Clock::now();
    EXPECT_TRUE(pool.joinAll(kSafetyBound));
    EXPECT_LT(Clock::now() - start, kSafetyBound / 2) << "the last task's end wakes the wait";
}

// Under `taskset -c 3` a scan runs one worker, not one per processor of the
// machine.
TEST(TaskPoolThreaded, TheWorkerCountIsTheProcessorsTheProcessMayRunOn) {
    EXPECT_EQ(scanWorkerCount(), static_cast<std::int32_t>(sys::usableProcessorCount()));
    const std::int32_t narrowed = test::onOneProcessor([] { return scanWorkerCount(); });
    EXPECT_EQ(narrowed, 1);
}

}  // namespace
}  // namespace qvl
