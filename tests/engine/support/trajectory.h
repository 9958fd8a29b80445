// A scripted flight turned into the traffic records the feed would deliver:
// legs of constant ground speed, track and vertical speed (the altitude
// follows; at 0 ft the aircraft is on the ground), a report every few
// seconds of report time, each record stamped with its arrival tick. The
// feeder hands them to the traffic queue when the tick counter reaches
// their arrival, due 3000 ticks later, as the traffic reader does.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "feed/traffic_queue.h"
#include "feed/traffic_record.h"

namespace qvl::test {

struct Leg {
    double seconds = 0.0;
    double groundSpeedKt = 0.0;
    double trackDeg = 0.0;
    double verticalSpeedFpm = 0.0;
};

struct FlightScript {
    std::uint32_t hexId = 0x3c6586;
    std::string callsign = "DLH4AB";
    std::string model = "A320";
    std::string registration;
    std::string origin;       // three characters or empty
    std::string destination;  // three characters or empty
    double latitude = 50.0;
    double longitude = 8.5;
    double altitudeFt = 5000.0;
    double reportSeconds = 4.0;  // between two reports (the feed gives 2 to 5)
    double startTime = 1.7e9;    // report time of the first record, s since 1970
    std::vector<Leg> legs;
};

struct ScheduledRecord {
    std::int32_t arrivalTick = 0;
    TrafficRecord record;
};

// The records of the script, the first arriving at `firstTick`, one per
// report interval (100 ticks a second of report time).
std::vector<ScheduledRecord> generateRecords(const FlightScript& script, std::int32_t firstTick);

// Holds records until their arrival tick.
class TrafficFeeder {
public:
    void add(std::vector<ScheduledRecord> records);
    // Pushes every record whose arrival tick has come, due tick = now + 3000.
    void deliver(TrafficQueue& queue, std::int32_t now) { deliver(queue, now, now); }
    // The same when the records arrive by wall time and the tick counter lags it.
    void deliver(TrafficQueue& queue, std::int32_t arrivedBy, std::int32_t now);
    [[nodiscard]] bool empty() const { return pending_.empty(); }

private:
    std::multimap<std::int32_t, TrafficRecord> pending_;
};

}  // namespace qvl::test
