#include "engine/traffic_intake.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <exception>
#include <unordered_map>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/settings.h"
#include "engine/base/client_events.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/base/motion_tables.h"
#include "engine/base/removal.h"
#include "engine/motion/motion.h"
#include "engine/sample_checks.h"
#include "engine/spawn.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

constexpr double kSpacingAirborneNm = 0.2429805615550756;  // 450 m
constexpr double kSpacingGroundNm = 0.010799136069114472;  // 20 m
constexpr double kMaxGroundSpacingSeconds = 15.0;
constexpr double kStopMergeNm = 0.011879049676025918;  // 22 m
constexpr std::int64_t kShortStopTicks = 1500;
constexpr double kBirthGuardFeet = 108.0;
constexpr double kNoParkAirportElevation = -1000.0;
constexpr std::size_t kMaxQueuedSamples = 200;
constexpr double kTakeOffRunKt = 43.0;

LiveAc* findByHexId(EngineState& state, std::uint32_t hexId) {
    for (LiveAc& ac : state.liveAircraft) {
        if (ac.flight.hexId == hexId) return &ac;
    }
    return nullptr;
}

bool sameFlightFliesElsewhere(const EngineState& state, const TrafficRecord& record) {
    return std::any_of(state.liveAircraft.begin(), state.liveAircraft.end(), [&](const LiveAc& ac) {
        return ac.flight.callsign == record.callsign && ac.flight.key.modelId == record.modelId();
    });
}

// The park airport's elevation, or far below any runway when there is none.
double referenceElevation(const Engine& engine) {
    const auto airport = engine.parkAirport.current();
    return airport ? static_cast<double>(airport->elevationFeet) : kNoParkAirportElevation;
}

// Airborne but within 108 ft of the park airport's elevation: no aircraft is
// born just above its runway.
bool justAboveParkAirport(const Engine& engine, double altitude) {
    return altitude > 0.0 && altitude < 10000.0 && std::fabs(altitude - referenceElevation(engine)) <= kBirthGuardFeet;
}

bool speedJump(double back, double next) {
    return (back > 5.0 && next >= 10.0 * back) || (next > 5.0 && back >= 10.0 * next) ||
           (back <= 5.0 && next >= 80.0) || (next <= 5.0 && back >= 80.0);
}

// The shortest time (s) after the last record at which a record on a
// straight line is worth a sample; 0 when any spacing will do.
double minimumSpacingSeconds(const TrafficSample& sample, const TrafficSample& back) {
    const double trackApart = angleApartDeg(sample.track, back.track);
    const double speed = sample.groundSpeed;
    if (sample.airborne != 0 && speed > 120.0 && trackApart <= 1.0) return kSpacingAirborneNm / (speed / 3600.0);
    if (sample.airborne == 0 && speed <= 30.0 && trackApart <= 2.0) {
        if (speed <= 0.0) return kMaxGroundSpacingSeconds;
        return std::min(kSpacingGroundNm / (speed / 3600.0), kMaxGroundSpacingSeconds);
    }
    return 0.0;
}

bool dropAsRepeat(const LiveAc& ac, const TrafficRecord& record) {
    const double t = record.time;
    const double tl = ac.lastSampleTime;
    const TrafficSample& back = ac.samples.back();
    if (t == tl || t - tl <= 1.0) return true;
    if (speedJump(back.groundSpeed, record.sample.groundSpeed)) return true;
    return ac.extendCount < 1 && t - tl <= minimumSpacingSeconds(record.sample, back);
}

GeoPosition positionOf(const TrafficSample& sample) {
    return {.latitude = sample.latitude, .longitude = sample.longitude};
}

void notBefore(TrafficSample& sample, const TrafficSample& back) {
    const std::int64_t earliest = static_cast<std::int64_t>(back.dueTick) + 1;
    if (static_cast<std::int64_t>(sample.dueTick) < earliest) sample.dueTick = static_cast<std::uint32_t>(earliest);
}

// A stop in the queue that a moving sample makes pointless: after a short
// stop, or when the aircraft is back where it stopped, the stationary
// samples go.
void dropShortStop(LiveAc& ac, const TrafficSample& sample) {
    auto& samples = ac.samples;
    const std::size_t last = samples.size() - 1;
    const std::size_t first = last >= 5 ? last - 5 : 0;
    for (std::size_t i = last; i-- > first;) {
        if (samples[i].stationary != 0) continue;
        const std::int64_t stopTicks =
            static_cast<std::int64_t>(samples[last].dueTick) - static_cast<std::int64_t>(samples[i + 1].dueTick);
        if (stopTicks < kShortStopTicks || gf_distanceNm(positionOf(samples[i]), positionOf(sample)) <= kStopMergeNm) {
            samples.erase(samples.begin() + static_cast<std::ptrdiff_t>(i) + 1, samples.end());
        }
        return;
    }
}

void mergeGroundStops(LiveAc& ac, const TrafficSample& sample) {
    if (sample.airborne != 0 || ac.samples.back().stationary == 0) return;
    if (sample.stationary != 0) {
        const bool allStill =
            std::all_of(ac.samples.begin(), ac.samples.end(), [](const TrafficSample& s) { return s.stationary != 0; });
        if (allStill) ac.samples.resize(1);
        return;
    }
    dropShortStop(ac, sample);
}

// Two airborne samples in a row just after a landing: a go-around or a
// touch-and-go; the aircraft departs again.
void departAgain(Engine& engine, LiveAc& ac) {
    ac.phase = GroundPhase::taxi;
    ac.motion.departing = true;
    gf_setThrottle(engine, ac, 3);
    gf_setSpoilers(engine, ac, true);
    gf_setFlaps(engine, ac, 1);
    ac.motion.approaching = false;
    ac.motion.landedHere = false;
    ac.motion.climbConfigured = false;
    gf_queueLights(
        engine.link.queues, ac.objectId,
        {.nav = true, .beacon = true, .landing = true, .taxi = true, .strobes = true, .logo = true, .cabin = true});
    ac.motion.earlyLimit = 3000;
    ac.motion.lateLimit = 5000;
}

void startDepartureOnGround(Engine& engine, LiveAc& ac, const TrafficSample& sample) {
    if (ac.status != SimStatus::active || !ac.onGround || ac.motion.departing) return;
    const TrafficSample& back = ac.samples.back();
    if (!ac.motion.landed) {
        const bool rolling = sample.groundSpeed >= kTakeOffRunKt && back.groundSpeed >= kTakeOffRunKt;
        if (ac.phase == GroundPhase::taxi && (sample.airborne != 0 || rolling)) startTakeOff(engine, ac);
    } else if (back.airborne != 0 && sample.airborne != 0) {
        departAgain(engine, ac);
    }
}

bool holdEnds(const LiveAc& ac, const TrafficSample& sample) {
    if (!ac.holding || ac.samples.empty()) return false;
    const double metres = gf_distanceNm(positionOf(sample), positionOf(ac.samples.front())) * kMetresPerNm;
    return metres > static_cast<double>(HOLDING_THRESHOLD_METERS.value());
}

void decode(Engine& engine, LiveAc& ac, TrafficSample sample) {
    if (ac.samples.size() > kMaxQueuedSamples) {
        removeAircraftFromSim(engine, ac);
        return;
    }
    if (holdEnds(ac, sample)) {
        ac.holding = false;
        ac.holdStart = 0;
        removeAircraftFromSim(engine, ac);
        return;
    }
    if (ac.phase == GroundPhase::birth) {
        if (ac.samples.empty() || !lf_checkBirthSample(ac, sample) || startsOverBehind(ac, sample)) return;
        notBefore(sample, ac.samples.back());
        ac.samples.push_back(sample);
        return;
    }
    if (!checkExtendingSituations(engine, ac, sample)) return;
    if (ac.samples.empty()) {
        ac.samples.push_back(sample);
        return;
    }
    mergeGroundStops(ac, sample);
    notBefore(sample, ac.samples.back());
    startDepartureOnGround(engine, ac, sample);
    ac.samples.push_back(sample);
    if (ac.samples.size() == 2 && ac.samples[0].stationary != 0 && ac.samples[1].stationary != 0) {
        ac.samples[0].dueTick = nextTick(engine.now());
        ac.samples[0].groundSpeed = ac.samples[1].groundSpeed;
    }
}

// Still flying on past its data, or its removal under way: the aircraft
// will go unless the feed takes it back.
bool onItsWayOut(const LiveAc& ac) {
    return ac.status == SimStatus::removingfromsim || (ac.status == SimStatus::active && ac.extendCount >= 1);
}

}  // namespace

void lf_acceptTrafficSample(Engine& engine, TrafficRecord& record) {
    LiveAc* ac = findByHexId(engine.state, record.hexId);
    if (ac == nullptr) {
        if (record.callsign.empty() || engine.state.liveAircraft.empty() ||
            !sameFlightFliesElsewhere(engine.state, record)) {
            lf_admitNewTraffic(engine, record);
        }
        return;
    }
    if (ac->status == SimStatus::removingfromsim) {
        // Due later, most likely once the object has gone.
        engine.state.returningTraffic.push_back(record);
        return;
    }
    if (ac->status == SimStatus::liveryrespawn) return;
    if (!ac->samples.empty() && dropAsRepeat(*ac, record)) return;
    if (ac->status == SimStatus::buffer && justAboveParkAirport(engine, record.sample.altitude)) return;
    if (!lf_respawnLiveAc(engine, *ac, record)) return;
    ac->lastSampleTime = record.time;
    const bool behind = behindContinuedPath(*ac, record.sample);
    decodeExisting(engine, *ac, record.sample);
    // Refused, and the aircraft flies on: the flight may be coming back
    // where it left off.
    if (behind && ac->extendCount >= 1) engine.state.returningTraffic.push_back(record);
}

void takeInReturningTraffic(Engine& engine) {
    EngineState& state = engine.state;
    if (state.returningTraffic.empty()) return;
    const std::int32_t now = engine.now();
    // After a drop of the traffic client hundreds of aircraft fly on or wait
    // for their removal, each with many records here: the aircraft are
    // looked up once per tick, not once per record in the live list.
    std::unordered_map<std::uint32_t, bool> wayOut;
    wayOut.reserve(state.liveAircraft.size());
    for (const LiveAc& ac : state.liveAircraft) wayOut.try_emplace(ac.flight.hexId, onItsWayOut(ac));
    std::deque<TrafficRecord> kept;
    std::vector<TrafficRecord> released;
    // Judged against the records as they stand before any is taken in: the
    // first one taken in makes a new aircraft with the same hex id.
    for (TrafficRecord& record : state.returningTraffic) {
        if (hasReached(now, record.sample.dueTick)) continue;
        const auto ac = wayOut.find(record.hexId);
        if (ac == wayOut.end()) {
            released.push_back(std::move(record));
        } else if (ac->second) {
            kept.push_back(std::move(record));
        }
        // Otherwise the feed took the old aircraft back: they are out of date.
    }
    state.returningTraffic.swap(kept);
    for (TrafficRecord& record : released) lf_acceptTrafficSample(engine, record);
}

void lf_admitNewTraffic(Engine& engine, TrafficRecord& record) {
    if (const auto found = gf_findDbaseRecord(record.registration)) {
        const DbaseKey& key = found->key;
        record.ids = LiveryKey{.airlineId = key.airlineId,
                               .secondAirlineId = key.operatorId,
                               .modelId = key.modelId,
                               .cargo = key.cargo,
                               .marker = key.marker}
                         .packed();
    }
    if (gf_isKnownModel(modelCodeOf(record.modelId()))) lf_createLiveAc(engine, record);
}

void lf_createLiveAc(Engine& engine, TrafficRecord& record) {
    const AircraftCategory category = gf_categoryOfModel(modelCodeOf(record.modelId()));
    if (!categoryShown(category)) return;
    if (justAboveParkAirport(engine, record.sample.altitude)) return;
    record.text1 = record.callsign;
    record.text2.clear();
    FlightRec flight = gf_buildFlightRec(record);
    flight.learnedStandChecked = false;
    flight.hexId = record.hexId;
    flight.turnStep = flight.groundTurnStep;
    const CategoryMotion& row = categoryMotion(flight.category);
    flight.maxVerticalStep = row.maxVerticalStep;
    flight.standApproachSpeed = row.standApproachSpeed;
    engine.state.liveAircraft.push_back(makeLiveAc(record.sample, std::move(flight), record.time));
}

void decodeExisting(Engine& engine, LiveAc& ac, TrafficSample sample) {
    try {
        decode(engine, ac, sample);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{} exception {}", "decodeExisting", e.what()));
        throw;
    }
}

}  // namespace qvl
