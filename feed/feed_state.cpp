#include "feed/feed_state.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace qvl {
namespace {

FeedHooks required(FeedHooks hooks) {
    std::string missing;
    if (!hooks.realTrafficGone) missing += " realTrafficGone";
    if (!missing.empty()) throw std::invalid_argument("feed hooks not wired:" + missing);
    return hooks;
}

}  // namespace

FeedState::FeedState(Status& status, FeedHooks hooks) : status_(status), hooks_(required(std::move(hooks))) { reset(); }

void FeedState::setRealTrafficText(std::string text) {
    std::lock_guard lock(mutex_);
    realTrafficText_ = std::move(text);
}

std::string FeedState::realTrafficText() const {
    std::lock_guard lock(mutex_);
    return realTrafficText_;
}

void FeedState::reset() {
    rtLocal.store(false);
    waitingForRealTraffic.store(true);
    realTrafficDisplay.store(false);
    trafficLamp.store(ReaderLamp::stopped);
    weatherLamp.store(ReaderLamp::stopped);
    publishedQnh.store(kStandardQnh);
    displayedQnh.store(kStandardQnh);
    tickCounter.store(0);
    time.reset();
    std::lock_guard lock(mutex_);
    realTrafficText_.clear();
}

}  // namespace qvl
