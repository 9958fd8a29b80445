#include "feed/feed_state.h"

#include <utility>

namespace qvl {

void FeedState::setRealTrafficText(std::string text) {
    std::lock_guard lock(mutex_);
    realTrafficText_ = std::move(text);
}

std::string FeedState::realTrafficText() const {
    std::lock_guard lock(mutex_);
    return realTrafficText_;
}

void FeedState::setRepaintHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    repaintHook_ = std::move(hook);
}

void FeedState::repaint() const {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        hook = repaintHook_;
    }
    if (hook) hook();
}

void FeedState::setRealTrafficGoneHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    realTrafficGoneHook_ = std::move(hook);
}

void FeedState::onRealTrafficGone() const {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        hook = realTrafficGoneHook_;
    }
    if (hook) hook();
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
