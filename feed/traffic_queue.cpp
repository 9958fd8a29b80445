#include "feed/traffic_queue.h"

#include <utility>

namespace qvl {

bool TrafficQueue::push(TrafficRecord&& record) {
    std::lock_guard lock(stateMutex);
    if (!acceptingTraffic || clientGone_) return false;
    records_.push_back(std::move(record));
    return true;
}

std::size_t TrafficQueue::takeFront(std::vector<TrafficRecord>& out, std::size_t max) {
    std::lock_guard lock(stateMutex);
    std::size_t taken = 0;
    while (taken < max && !records_.empty()) {
        out.push_back(std::move(records_.front()));
        records_.pop_front();
        ++taken;
    }
    return taken;
}

std::size_t TrafficQueue::takeDue(std::vector<TrafficRecord>& out, std::int32_t now, std::size_t max) {
    std::lock_guard lock(stateMutex);
    std::size_t taken = 0;
    while (taken < max && !records_.empty() &&
           static_cast<std::int64_t>(records_.front().sample.dueTick) <= static_cast<std::int64_t>(now)) {
        out.push_back(std::move(records_.front()));
        records_.pop_front();
        ++taken;
    }
    return taken;
}

void TrafficQueue::setAccepting(bool accepting) {
    std::lock_guard lock(stateMutex);
    acceptingTraffic = accepting;
}

bool TrafficQueue::accepting() const {
    std::lock_guard lock(stateMutex);
    return acceptingTraffic;
}

void TrafficQueue::holdUntilClientReturns() {
    std::lock_guard lock(stateMutex);
    clientGone_ = true;
    records_.clear();
}

void TrafficQueue::clientReturned() {
    std::lock_guard lock(stateMutex);
    clientGone_ = false;
}

bool TrafficQueue::heldForClient() const {
    std::lock_guard lock(stateMutex);
    return clientGone_;
}

std::size_t TrafficQueue::size() const {
    std::lock_guard lock(stateMutex);
    return records_.size();
}

void TrafficQueue::clear() {
    std::lock_guard lock(stateMutex);
    records_.clear();
    clientGone_ = false;
}

}  // namespace qvl
