#include "simlink/sim_state.h"

#include <utility>

namespace qvl {

SimLinkStatus SimStatusBoard::snapshot() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void SimStatusBoard::setConnected(bool connected) {
    std::lock_guard lock(mutex_);
    status_.connected = connected;
}

void SimStatusBoard::setRunning(bool running) {
    std::lock_guard lock(mutex_);
    status_.running = running;
}

void SimStatusBoard::setConnectionText(std::string text) {
    std::lock_guard lock(mutex_);
    status_.connectionText = std::move(text);
}

void SimStatusBoard::darken() {
    std::lock_guard lock(mutex_);
    status_.connected = false;
    status_.running = false;
}

void SimStatusBoard::reset() {
    std::lock_guard lock(mutex_);
    status_ = SimLinkStatus{};
}

void SimLinkState::markDisconnected() {
    status.darken();
    simRunning.store(false);
    const auto lock = queues.lock();
    simHandle.store(nullptr);
}

void SimLinkState::reset() {
    markDisconnected();
    status.reset();
    queues.clear();
    simQueuesPaused.store(false);
    userObjectId.store(kUserObjectIdAtStart);
}

}  // namespace qvl
