#include "engine/base/engine_state.h"

#include <algorithm>
#include <utility>

namespace qvl {
namespace {

// A run rarely holds more; beyond, the containers grow as usual.
constexpr std::size_t kLiveCapacity = 1024;
constexpr std::size_t kStaticCapacity = 1024;
constexpr std::size_t kEventCapacity = 256;

}  // namespace

void ObjectEventQueue::push(const SimObjectEvent& event) {
    std::lock_guard lock(eventMutex_);
    events_.push_back(event);
}

std::vector<SimObjectEvent> ObjectEventQueue::takeAll() {
    std::vector<SimObjectEvent> taken;
    std::lock_guard lock(eventMutex_);
    taken.swap(events_);
    return taken;
}

std::size_t ObjectEventQueue::size() const {
    std::lock_guard lock(eventMutex_);
    return events_.size();
}

void ObjectEventQueue::clear() {
    std::lock_guard lock(eventMutex_);
    events_.clear();
}

EngineState::EngineState() {
    // A small start and at most one element per bucket keep the set's
    // look-ups short while the reader fills it.
    parking.liveCallsigns.rehash(8);
    parking.liveCallsigns.max_load_factor(1.0F);
}

void EngineState::reserve() {
    liveAircraft.reserve(kLiveCapacity);
    staticAircraft.reserve(kStaticCapacity);
    hexIdStack.reserve(kLiveCapacity);
    parking.candidates.reserve(kStaticCapacity);
    deferredEvents.reserve(kEventCapacity);
}

void EngineState::reset() {
    perSecondHexIds.clear();
    hexIdStack.clear();
    liveCreationQueue.clear();
    staticCreationQueue.clear();
    staticAircraft.clear();
    liveAircraft.clear();
    objectEvents.clear();
    deferredEvents.clear();
    parking.reset();
    createdFlights.clear();
    returningTraffic.clear();
    removalQueue.clear();
    rememberedLiveries.clear();
    noMatchList.clear();
    ghostList.clear();
    followedObjectId = 0;
    liveSelCount = {};
    userStandName.reset();
    userStandExchange.reset();
    firstParkAirport.reset();
    lastStaticClearance = {};
    userSnapshot = UserAircraftBlock{};
}

bool holdsLiveryTitleViews(const EngineState& state) {
    const auto titled = [](const AcRecord& ac) { return !ac.flight.liveryTitle.empty(); };
    return !state.rememberedLiveries.empty() || std::ranges::any_of(state.liveAircraft, titled) ||
           std::ranges::any_of(state.staticAircraft, titled);
}

}  // namespace qvl
