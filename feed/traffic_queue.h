// The traffic queue: accepted traffic records waiting for the engine, first
// in, first out. The traffic reader appends, the engine takes from the front
// on the run thread. Records are kept only while traffic is accepted (the
// main loop accepts while the flight runs) and while the traffic client is
// there; records that arrive otherwise are lost, not held back.
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
    // Appends at the back while traffic is accepted and the client is there;
    // false when dropped.
    bool push(TrafficRecord&& record);
    // Moves up to max records from the front into out (appended); their count.
    std::size_t takeFront(std::vector<TrafficRecord>& out, std::size_t max);
    // Moves records from the front into out (appended) while the front
    // record's sample is due at or before the tick `now`, up to max; their
    // count. The due tick and the tick are compared in signed 64-bit.
    std::size_t takeDue(std::vector<TrafficRecord>& out, std::int32_t now, std::size_t max);

    void setAccepting(bool accepting);
    [[nodiscard]] bool accepting() const;

    // The traffic client has gone: the queued records go, and none is taken
    // until it returns, so that no aircraft is born of what it sent before.
    // One step under the lock, so no record slips in between.
    void holdUntilClientReturns();
    void clientReturned();
    [[nodiscard]] bool heldForClient() const;

    [[nodiscard]] std::size_t size() const;
    // Empties the queue for a new run, which starts with its client there.
    void clear();

private:
    // Leaf lock: guards the queue, acceptingTraffic and clientGone_; nothing
    // is locked while it is held.
    mutable std::mutex stateMutex;
    std::deque<TrafficRecord> records_;
    bool acceptingTraffic = false;
    bool clientGone_ = false;
};

}  // namespace qvl
