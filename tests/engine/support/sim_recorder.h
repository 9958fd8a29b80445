// What reached the simulator link's queues, tick by tick: positions, client
// events, creations and removals. Without a simulator the recorder empties
// the queues as the frame sender would; with the stand-in it only looks, and
// the stand-in's frame sends them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simlink/sim_queues.h"

namespace qvl::test {

template <class Command>
struct AtTick {
    std::int32_t tick = 0;
    Command command;
};

class SimRecorder {
public:
    // Copies what is queued; empties the queues when `consume`.
    void record(SimQueues& queues, std::int32_t tick, bool consume);

    std::vector<AtTick<PositionCommand>> positions;
    std::vector<AtTick<EventCommand>> events;
    std::vector<AtTick<CreateAircraftCommand>> creations;
    std::vector<AtTick<std::uint32_t>> removals;

    // The positions and events of one object, in order.
    [[nodiscard]] std::vector<AtTick<PositionCommand>> positionsOf(std::uint32_t objectId) const;
    [[nodiscard]] std::vector<AtTick<EventCommand>> eventsOf(std::uint32_t objectId) const;
    [[nodiscard]] std::vector<AtTick<EventCommand>> eventsOf(std::uint32_t objectId, std::uint32_t eventId) const;
    void clear();
};

}  // namespace qvl::test
