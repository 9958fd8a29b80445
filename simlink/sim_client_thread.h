// The SimClient thread of the current run, held between runs: a new run
// stops and joins the previous one before it starts its own, and the end of
// a run joins it within a bound, so that nothing is reset under a thread
// that still runs. Started, stopped and joined on the run thread.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/sim/sim_api.h"

namespace qvl {

struct RunState;
struct SimLinkState;

class SimClientThread {
public:
    SimClientThread() = default;
    ~SimClientThread() { requestStop(); }
    SimClientThread(const SimClientThread&) = delete;
    SimClientThread& operator=(const SimClientThread&) = delete;

    void start(SimLinkState& link, RunState& run, sim::SimLibrary& library);
    void requestStop();
    // True when no thread is held or it has ended and been joined within the
    // bound; false leaves it running (and logs it).
    bool joinWithin(std::chrono::milliseconds bound);

private:
    std::jthread thread_;
    // Whether the body has returned, so that the join can be bounded.
    std::shared_ptr<std::atomic<bool>> ended_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace qvl
