// Traffic datagrams from the traffic client: one line each, handed to the
// traffic reader as its receive loop does, with the queue accepting. Every
// line runs in three situations: no park airport; a park airport with its
// reference elevation; the same with airborne-only traffic. So both sides of
// the ground and altitude rules are reached.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/current_park_airport.h"
#include "core/run_state.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "feed/feed_state.h"
#include "feed/traffic_line.h"
#include "feed/traffic_queue.h"
#include "feed/traffic_reader.h"
#include "refdata/code_table.h"
#include "support/fuzz_support.h"
#include "support/quiet_status.h"

namespace {

using namespace qvl;
using fuzz::expect;

constexpr GeoPosition kOwnPosition{48.11, 16.57};
constexpr std::int32_t kParkElevationFeet = 600;
constexpr double kRangeNm = 40.0;

struct Feed {
    TrafficQueue queue;
    fuzz::QuietStatus status;
    FeedState state{status, {.realTrafficGone = [] {}}};
    RunState run;
    CurrentParkAirportState filter;
    TrafficReader reader{queue, state, run, filter};
};

Feed& feed() {
    static Feed f;
    return f;
}

bool isCodeChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

void expectCode(const FixedCode3& code) {
    if (!code.isSet()) return;
    for (char c : code.view()) expect(isCodeChar(c), "an airport code holds only A-Z and 0-9");
}

// What the reader promises about every record it queues.
struct Situation {
    bool atParkAirport = false;
    bool airborneOnly = false;
};

void expectSound(const TrafficRecord& r, Situation situation) {
    const TrafficSample& s = r.sample;
    expect(r.time >= 946684800.0 && r.time < 4102444800.0, "a queued report time is plausible");
    expect(std::isfinite(s.latitude) && std::fabs(s.latitude) <= 90.0, "latitude within -90..90");
    expect(std::isfinite(s.longitude) && std::fabs(s.longitude) <= 180.0, "longitude within -180..180");
    expect(gf_distanceNm(kOwnPosition, {s.latitude, s.longitude}) <= kRangeNm, "a queued aircraft is in range");
    expect(r.hexId > 10000, "hex ids of 10000 or less are dropped");
    expect(r.registration.size() <= TrafficReader::kMaxRegistrationLength, "registration of 12 at most");
    expect(r.callsign.size() <= TrafficReader::kMaxCallsignBytes, "callsign of 31 bytes at most");
    expect(!hasControlCharacter(r.registration) && !hasControlCharacter(r.callsign),
           "no control character in callsign or registration");
    expect(!r.callsign.empty() || !r.registration.empty(), "a queued aircraft has an identity");
    expect(std::isfinite(s.altitude) && s.altitude >= 0.0, "altitude is 0 or above");
    expect(s.airborne == (s.altitude > 0.0 ? 1 : 0), "airborne means above 0 ft");
    for (double v : {s.groundSpeed, s.track, s.verticalSpeed, s.trueAirspeed, s.roll, s.trueHeading}) {
        expect(std::isfinite(v), "every number of a queued sample is finite");
    }
    if (situation.airborneOnly) {
        expect(s.altitude - kParkElevationFeet > 150.0, "airborne-only keeps 150 ft above the park airport");
    }
    if (s.airborne == 0) {
        expect(situation.atParkAirport && gf_distanceNm(kOwnPosition, {s.latitude, s.longitude}) <= 5.0,
               "ground traffic only at the park airport");
    }
    expectCode(r.origin);
    expectCode(r.destination);
}

void runLine(std::string_view line, Situation situation) {
    Feed& f = feed();
    f.queue.clear();
    f.queue.setAccepting(true);
    f.reader.setOwnPosition(kOwnPosition);
    f.reader.startCallsignCollection();
    f.state.time.trafficClock.store(0.0);
    f.state.tickCounter.store(0);
    rangeNm.store(kRangeNm);
    AIRBORNE_ONLY.set(situation.airborneOnly);
    if (situation.atParkAirport) {
        f.filter.set({.position = kOwnPosition, .elevationFeet = kParkElevationFeet});
        f.filter.setReferenceElevation(kParkElevationFeet);
    } else {
        f.filter.clear();
        f.filter.clearReferenceElevation();
    }
    // The type field is interned into the model table; start from an empty one.
    modelCodes().clear();

    const LineOutcome outcome = f.reader.onTrafficDatagram(line);
    std::vector<TrafficRecord> queued;
    f.queue.takeFront(queued, 2);
    expect(queued.size() == (outcome == LineOutcome::queued ? 1u : 0u), "a queued outcome queues one record");
    for (const TrafficRecord& r : queued) expectSound(r, situation);
    for (const std::string& callsign : f.reader.takeCollectedCallsigns()) {
        expect(callsign.size() <= TrafficReader::kMaxCallsignBytes && !hasControlCharacter(callsign),
               "collected callsigns are ones the parser would accept");
    }
    const double clock = f.state.time.trafficClock.load();
    expect(clock == 0.0 || (clock >= 946684800.0 && clock < 4102444800.0), "only plausible times move the clock");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line = fuzz::bytesOf(data, size);
    runLine(line, {.atParkAirport = false, .airborneOnly = false});
    runLine(line, {.atParkAirport = true, .airborneOnly = false});
    runLine(line, {.atParkAirport = true, .airborneOnly = true});
    return 0;
}
