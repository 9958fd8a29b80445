#include "trajectory.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/geodesy.h"
#include "platform/units.h"
#include "refdata/code_table.h"

namespace qvl::test {
namespace {

struct State {
    double latitude;
    double longitude;
    double altitude;
    double time;
};

TrafficRecord recordAt(const FlightScript& script, const State& s, const Leg& leg) {
    TrafficRecord r;
    r.hexId = script.hexId;
    r.callsign = script.callsign;
    r.registration = script.registration;
    r.ids = packModelId(gf_modelId(script.model));
    if (script.origin.size() == 3) r.origin = FixedCode3(script.origin);
    if (script.destination.size() == 3) r.destination = FixedCode3(script.destination);
    r.time = s.time;
    TrafficSample& p = r.sample;
    p.latitude = s.latitude;
    p.longitude = s.longitude;
    p.altitude = s.altitude;
    p.airborne = s.altitude > 0.0 ? 1 : 0;
    p.groundSpeed = leg.groundSpeedKt;
    p.trueAirspeed = leg.groundSpeedKt;
    p.track = leg.trackDeg;
    p.verticalSpeed = p.airborne != 0 ? leg.verticalSpeedFpm : 0.0;
    return r;
}

void advance(State& s, const Leg& leg, double seconds) {
    const double feet = leg.groundSpeedKt * kFeetPerNm * seconds / 3600.0;
    if (feet > 0.0) {
        const GeoPosition next = gf_destinationPoint({s.latitude, s.longitude}, leg.trackDeg * kDegToRad, feet);
        s.latitude = next.latitude;
        s.longitude = next.longitude;
    }
    s.altitude = std::max(0.0, s.altitude + leg.verticalSpeedFpm * seconds / 60.0);
    s.time += seconds;
}

}  // namespace

std::vector<ScheduledRecord> generateRecords(const FlightScript& script, std::int32_t firstTick) {
    std::vector<ScheduledRecord> out;
    State s{script.latitude, script.longitude, script.altitudeFt, script.startTime};
    double elapsed = 0.0;
    for (const Leg& leg : script.legs) {
        for (double t = 0.0; t < leg.seconds; t += script.reportSeconds) {
            const auto tick = firstTick + static_cast<std::int32_t>(std::lround(elapsed * 100.0));
            out.push_back({tick, recordAt(script, s, leg)});
            advance(s, leg, script.reportSeconds);
            elapsed += script.reportSeconds;
        }
    }
    return out;
}

void TrafficFeeder::add(std::vector<ScheduledRecord> records) {
    for (ScheduledRecord& r : records) pending_.emplace(r.arrivalTick, std::move(r.record));
}

void TrafficFeeder::deliver(TrafficQueue& queue, std::int32_t arrivedBy, std::int32_t now) {
    while (!pending_.empty() && pending_.begin()->first <= arrivedBy) {
        TrafficRecord record = std::move(pending_.begin()->second);
        pending_.erase(pending_.begin());
        record.sample.dueTick = static_cast<std::uint32_t>(now) + static_cast<std::uint32_t>(kTrafficDelayTicks);
        queue.push(std::move(record));
    }
}

}  // namespace qvl::test
