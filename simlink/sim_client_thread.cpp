#include "simlink/sim_client_thread.h"

#include <fmt/format.h>

#include "core/log.h"
#include "simlink/sim_client.h"

namespace qvl {

void SimClientThread::start(SimLinkState& link, RunState& run, sim::SimLibrary& library) {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    auto ended = std::make_shared<std::atomic<bool>>(false);
    ended_ = ended;
    thread_ = std::jthread([&link, &run, &library, ended](const std::stop_token& stop) {
        lf_simClientThread(stop, link, run, library);
        ended->store(true);
    });
}

void SimClientThread::requestStop() {
    if (thread_.joinable()) thread_.request_stop();
}

bool SimClientThread::joinWithin(std::chrono::milliseconds bound) {
    if (!thread_.joinable()) return true;
    const auto end = std::chrono::steady_clock::now() + bound;
    thread_.request_stop();
    while (!ended_->load() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!ended_->load()) {
        gf_logAttention(fmt::format("The {} thread has not ended", kSimClientThreadName));
        return false;
    }
    thread_.join();
    return true;
}

}  // namespace qvl
