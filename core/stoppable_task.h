// One piece of work at a time on a thread of its own, for an owner that asks
// and, on a later pass, takes the answer: the main loop reading files or
// asking a question that may download. Work that is no longer wanted is
// stopped (it is asked whether to stop, as a download is) and left to end on
// its own; the next work does not wait for it. Each piece of work takes its
// inputs by value and touches nothing of its owner's. Used by one thread.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

namespace qvl {

template <typename Answer>
class StoppableTask {
public:
    // Asked by the work whenever it may stop: true once it is not wanted.
    using Stopped = std::function<bool()>;

    StoppableTask() = default;
    StoppableTask(const StoppableTask&) = delete;
    StoppableTask& operator=(const StoppableTask&) = delete;
    // Stops the work and waits for every piece still running.
    ~StoppableTask() {
        stop();
        if (answer_.valid()) answer_.wait();
        for (std::future<Answer>& answer : givenUp_) answer.wait();
    }

    // Starts the work, `Answer work(const Stopped&)`; work asked before and
    // still running is given up.
    template <typename Work>
    void start(Work work) {
        giveUp();
        stop_ = std::stop_source();
        answer_ = std::async(std::launch::async, [work = std::move(work), token = stop_.get_token()] {
            return work(Stopped([token] { return token.stop_requested(); }));
        });
    }
    // True while work is started and its answer not taken.
    [[nodiscard]] bool started() const { return answer_.valid(); }
    // True when the answer has come and waits to be taken.
    [[nodiscard]] bool answered() const { return answer_.valid() && isDone(answer_); }
    // The answer once it has come; the work is then done.
    [[nodiscard]] std::optional<Answer> take() {
        if (!answered()) return std::nullopt;
        return answer_.get();
    }
    // The work is asked to stop (a close): it ends soon and still answers.
    void stop() { stop_.request_stop(); }
    // The work is not wanted any more: stopped and never taken.
    void giveUp() {
        stop();
        if (answer_.valid() && !isDone(answer_)) givenUp_.push_back(std::move(answer_));
        answer_ = {};
        std::erase_if(givenUp_, [](const std::future<Answer>& answer) { return isDone(answer); });
    }
    // True when no work, taken or given up, still runs (an answer may wait
    // to be taken).
    [[nodiscard]] bool idle() {
        std::erase_if(givenUp_, [](const std::future<Answer>& answer) { return isDone(answer); });
        return (!answer_.valid() || isDone(answer_)) && givenUp_.empty();
    }

private:
    static bool isDone(const std::future<Answer>& answer) {
        return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }

    std::stop_source stop_;
    std::future<Answer> answer_;
    // Work given up while it ran, until it has ended.
    std::vector<std::future<Answer>> givenUp_;
};

}  // namespace qvl
