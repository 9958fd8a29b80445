// The traffic queue: accepted traffic records waiting for the engine, first
// in, first out. The traffic reader appends, the engine takes from the front
// on the run thread. Records are kept only while traffic is accepted (the
// main loop accepts while the flight runs); records that arrive otherwise are
// lost, not held back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "feed/traffic_record.h"

namespace qvl {

// A record is flown 3000 ticks (30 seconds of 10 ms ticks) after its line arrived.
inline constexpr std::int32_t kTrafficDelayTicks = 3000;

// One queue, owned by the program and passed by reference to the traffic
// reader and the engine.
class TrafficQueue {
public:
    // Appends at the back while traffic is accepted; false when dropped.
    bool push(TrafficRecord&& record);
    // Moves up to max records from the front into out (appended); their count.
    std::size_t takeFront(std::vector<TrafficRecord>& out, std::size_t max);
    // Moves records from the front into out (appended) while the front
    // record's sample is due at or before the tick `now`, up to max; their
    // count. The due tick and the tick are compared in signed 64-bit.
    std::size_t takeDue(std::vector<TrafficRecord>& out, std::int32_t now, std::size_t max);

    void setAccepting(bool accepting);
    [[nodiscard]] bool accepting() const;
    [[nodiscard]] std::size_t size() const;
    void clear();

private:
    // Leaf lock: guards the queue and acceptingTraffic; nothing is locked while it is held.
    mutable std::mutex stateMutex;
    std::deque<TrafficRecord> records_;
    bool acceptingTraffic = false;
};

}  // namespace qvl
