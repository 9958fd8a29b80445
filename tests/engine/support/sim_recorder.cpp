#include "sim_recorder.h"

namespace qvl::test {

void SimRecorder::record(SimQueues& queues, std::int32_t tick, bool consume) {
    queues.trySend([&](const QueuedCommands& queued) {
        for (const PositionCommand& p : queued.positions) positions.push_back({tick, p});
        for (const EventCommand& e : queued.events) events.push_back({tick, e});
        for (const CreateAircraftCommand& c : queued.creations) creations.push_back({tick, c});
        for (const std::uint32_t r : queued.removals) removals.push_back({tick, r});
        return consume;
    });
}

std::vector<AtTick<PositionCommand>> SimRecorder::positionsOf(std::uint32_t objectId) const {
    std::vector<AtTick<PositionCommand>> out;
    for (const auto& p : positions) {
        if (p.command.objectId == objectId) out.push_back(p);
    }
    return out;
}

std::vector<AtTick<EventCommand>> SimRecorder::eventsOf(std::uint32_t objectId) const {
    std::vector<AtTick<EventCommand>> out;
    for (const auto& e : events) {
        if (e.command.objectId == objectId) out.push_back(e);
    }
    return out;
}

std::vector<AtTick<EventCommand>> SimRecorder::eventsOf(std::uint32_t objectId, std::uint32_t eventId) const {
    std::vector<AtTick<EventCommand>> out;
    for (const auto& e : events) {
        if (e.command.objectId == objectId && e.command.eventId == eventId) out.push_back(e);
    }
    return out;
}

void SimRecorder::clear() {
    positions.clear();
    events.clear();
    creations.clear();
    removals.clear();
}

}  // namespace qvl::test
