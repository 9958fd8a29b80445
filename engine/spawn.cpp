#include "engine/spawn.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/settings.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"
#include "engine/conflicts/conflicts.h"
#include "engine/conflicts/park_limit.h"
#include "engine/stands/stands.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

constexpr std::size_t kMaxWaitingCreations = 10;
constexpr double kHoldUserSpeedKt = 8.0;
constexpr double kHoldUserNm = 500.0 / 1852.0;
constexpr double kUserGroundClearNm = 0.08099352051835854;  // 150 m
constexpr double kBirthStandAirportNm = 5.0;
constexpr double kBirthStandNm = 0.029697624190064796;  // 55 m
constexpr double kSlowAtStandKt = 5.0;
constexpr double kBackAtStandNm = 0.018898488120950324;  // 35 m
constexpr double kGroundPitch = 0.010471975511965976;    // 0.6 degree, nose up
constexpr double kLastHeading = 6.283185307178586;
// A creation the simulator has not reported after this many ticks never will be.
constexpr std::int64_t kCreationTimeoutTicks = 3000;

GeoPosition positionOf(const TrafficSample& sample) {
    return {.latitude = sample.latitude, .longitude = sample.longitude};
}

GeoPosition userPosition(const Engine& engine) { return engine.state.userSnapshot.position(); }

void drop(LiveAc& ac) { ac.eraseNow = true; }
void skipFront(LiveAc& ac) { ac.samples.pop_front(); }

bool inGhostList(const Engine& engine, const std::string& callsign) {
    const auto& list = engine.state.ghostList;
    return std::find(list.begin(), list.end(), callsign) != list.end();
}

// A take-off or a landing lies within the queue.
bool airAndGround(const LiveAc& ac) {
    const bool air = std::any_of(ac.samples.begin(), ac.samples.end(), [](const auto& s) { return s.airborne != 0; });
    const bool ground =
        std::any_of(ac.samples.begin(), ac.samples.end(), [](const auto& s) { return s.airborne == 0; });
    return air && ground;
}

// The count of MAX_LIVE_SEL, made once a tick: afterwards every creation
// and removal of this step keeps it current.
std::size_t& liveSelCount(Engine& engine) {
    EngineState& state = engine.state;
    const std::int64_t tick = engine.now();
    if (state.liveSelCount.tick != tick) {
        const auto active = std::count_if(state.liveAircraft.begin(), state.liveAircraft.end(),
                                          [](const LiveAc& ac) { return ac.status == SimStatus::active; });
        state.liveSelCount = {
            .tick = tick,
            .count = state.hexIdStack.size() + static_cast<std::size_t>(active) + state.liveCreationQueue.size()};
    }
    return state.liveSelCount.count;
}

// False when the aircraft may not be created now because the limit is reached.
bool roomForOneMore(Engine& engine, const LiveAc& ac) {
    const std::int32_t limit = MAX_LIVE_SEL.value();
    if (limit <= 0) return false;
    std::size_t& count = liveSelCount(engine);
    if (count < static_cast<std::size_t>(limit)) return true;
    const double distance = gf_distanceNm(userPosition(engine), positionOf(ac.samples.front()));
    if (gf_removeFarthestLiveAc(engine, distance)) return false;
    if (count > 0) --count;
    return true;
}

bool blocked(const LiveAc& ac) {
    const std::string block = BLOCK_CALLSIGN.value();
    return !block.empty() && ac.flight.callsign == block;
}

void completeIdentity(LiveAc& ac) {
    FlightRec& flight = ac.flight;
    if (flight.key.marker != 0) return;
    if (!flight.registration.empty()) {
        if (const auto found = gf_findDbaseRecord(flight.registration)) {
            const DbaseKey& key = found->key;
            flight.key = LiveryKey{.airlineId = key.airlineId,
                                   .secondAirlineId = key.operatorId,
                                   .modelId = key.modelId,
                                   .cargo = key.cargo,
                                   .marker = key.marker};
        }
    }
    if (flight.key.airlineId != 0) return;
    const auto airline = gf_airlineFromCallsign(flight.callsign);
    flight.key.airlineId = gf_airlineId(airline ? *airline : std::string("PVT"));
}

// False when no valid callsign can be had.
bool validCallsign(LiveAc& ac) {
    if (gf_isValidCallsign(ac.flight)) return true;
    ac.flight.callsign = ac.flight.registration;
    ac.flight.callsignCopy = ac.flight.callsign;
    return gf_isValidCallsign(ac.flight);
}

void markStationary(LiveAc& ac) {
    auto& samples = ac.samples;
    if (samples[1].stationary != 0) {
        samples[0].stationary = 1;
        samples[0].groundSpeed = 0.0;
        samples[1].groundSpeed = 0.0;
        if (samples.size() > 2 && samples[2].stationary != 0) samples[2].groundSpeed = 0.0;
    } else {
        samples[0].stationary = 0;
    }
}

// A remembered title the simulator could not create is of no use any more.
std::string_view rememberedLivery(Engine& engine, std::uint32_t hexId) {
    auto& remembered = engine.state.rememberedLiveries;
    const auto it = remembered.find(hexId);
    if (it == remembered.end()) return {};
    if (engine.state.uncreatable.dontUseTitles.contains(it->second)) {
        remembered.erase(it);
        return {};
    }
    return it->second;
}

// False (and the aircraft dropped) when no livery matches.
bool chooseLivery(Engine& engine, LiveAc& ac) {
    FlightRec& flight = ac.flight;
    if (!flight.liveryTitle.empty()) return true;
    flight.liveryTitle = rememberedLivery(engine, flight.hexId);
    if (!flight.liveryTitle.empty()) return true;
    engine.liveries.matchLiveAcLivery(flight);
    if (flight.liveryTitle.empty()) {
        if (!flight.registration.empty()) engine.state.noMatchList.insert(gf_codeAndField(flight));
        drop(ac);
        return false;
    }
    engine.state.rememberedLiveries[flight.hexId] = flight.liveryTitle;
    return true;
}

void parkOnBirthStand(Engine& engine, LiveAc& ac, const Stand& stand) {
    ac.stand = {.position = {.latitude = stand.latitude, .longitude = stand.longitude}, .heading = stand.heading};
    ac.standNumber = stand.number;
    ac.standFlag = stand.cargo ? 1 : 0;
    ac.setPhase(GroundPhase::parked);
    ac.parkedSince = engine.weekTime();
    ac.parkedAt = engine.clocks.steadyNow();
    ac.motion.standDistanceRef.reset();
    ac.motion.standMoveCount = 0;
    updateCargoStandDisplay(engine, ac);
    ac.samples.resize(1);
    TrafficSample& front = ac.samples.front();
    front.latitude = stand.latitude;
    front.longitude = stand.longitude;
    front.track = stand.heading * kRadToDeg;
    lf_addRealStandOption(engine, stand.number, ac.flight, StandLearning::birth);
    lf_checkMaxPark(engine, 1);
}

// False when the aircraft was dropped or waits.
bool chooseStart(Engine& engine, LiveAc& ac) {
    if (ac.samples.front().airborne != 0) {
        ac.setPhase(GroundPhase::flying);
        return true;
    }
    if (const Stand* stand = lf_findBirthStand(engine, ac)) {
        parkOnBirthStand(engine, ac, *stand);
        return true;
    }
    if (ac.flaggedForErase()) return false;
    if (ac.samples[1].stationary != 0) {
        skipFront(ac);
        return false;
    }
    ac.setPhase(GroundPhase::taxi);
    return true;
}

double startPitch(const TrafficSample& front) {
    if (front.airborne == 0) return kGroundPitch;
    double v = front.verticalSpeed;
    v = v > 0.0 ? std::min(v, 2400.0) : std::max(v, -3000.0) / 2.0;
    return -(3.0 + v / 600.0 * 2.2) * kDegToRad;
}

double startHeading(const LiveAc& ac) {
    if (ac.motion.forcedHeading) return *ac.motion.forcedHeading;
    if (ac.phase == GroundPhase::parked) return ac.stand.heading;
    const TrafficSample& front = ac.samples.front();
    if (ac.samples.size() < 2 || ac.samples[1].stationary != 0) return front.track * kDegToRad;
    return gf_initialBearing(positionOf(front), positionOf(ac.samples[1]));
}

bool sameIdentity(const LiveryKey& a, const DbaseKey& b) {
    return a.airlineId == b.airlineId && a.secondAirlineId == b.operatorId && a.modelId == b.modelId;
}

LiveryKey keyOf(const DbaseKey& key) {
    return LiveryKey{.airlineId = key.airlineId,
                     .secondAirlineId = key.operatorId,
                     .modelId = key.modelId,
                     .cargo = key.cargo,
                     .marker = key.marker};
}

void refreshBufferedIdent(LiveAc& ac, const TrafficRecord& record) {
    FlightRec& flight = ac.flight;
    if (record.origin.isSet() && record.origin != flight.origin) flight.origin = record.origin;
    if (record.destination.isSet() && record.destination != flight.destination) flight.destination = record.destination;
    if (!record.callsign.empty() && record.callsign != flight.callsign) {
        flight.callsign = record.callsign;
        flight.callsignCopy = record.callsign;
    }
    if (!record.registration.empty() && record.registration != flight.registration) {
        flight.registration = record.registration;
    }
}

// True when a code was filled in or a route adopted.
bool updateRoute(Engine& engine, LiveAc& ac, const TrafficRecord& record) {
    FlightRec& flight = ac.flight;
    bool changed = false;
    if (!flight.origin.isSet() && record.origin.isSet()) {
        flight.origin = record.origin;
        changed = true;
    }
    if (!flight.destination.isSet() && record.destination.isSet()) {
        flight.destination = record.destination;
        changed = true;
    }
    if (!record.origin.isSet() || !record.destination.isSet()) return changed;
    if (record.origin == flight.origin || record.destination == flight.destination) return changed;
    const auto airport = engine.parkAirport.current();
    const bool homeAgain = airport && flight.origin.isSet() && record.destination == flight.origin &&
                           std::string_view(airport->code.view()).ends_with(flight.origin.view());
    if (homeAgain) return changed;
    flight.origin = record.origin;
    flight.destination = record.destination;
    const bool atStand = ac.phase == GroundPhase::parking || ac.phase == GroundPhase::parked;
    if (ac.onGround && !atStand) {
        ac.setPhase(GroundPhase::taxi);
        ac.motion.groundHeading = ac.heading;
    }
    return true;
}

// True when the livery must be chosen anew.
bool checkRegistrationChange(Engine& engine, LiveAc& ac, const TrafficRecord& record) {
    FlightRec& flight = ac.flight;
    if (record.registration.empty() || record.registration == flight.registration) return false;
    bool liveryChanged = false;
    const auto found = gf_findDbaseRecord(record.registration);
    const auto airline = gf_airlineFromCallsign(flight.callsign);
    const CodeId callsignAirline = airline ? gf_airlineId(*airline) : CodeId{0};
    if (found && !sameIdentity(flight.key, found->key) &&
        (callsignAirline == found->key.airlineId || callsignAirline == found->key.operatorId)) {
        flight.key = keyOf(found->key);
        if (ac.phase == GroundPhase::parked)
            lf_addRealStandOption(engine, ac.standNumber, flight, StandLearning::arrival);
        liveryChanged = true;
    } else {
        const std::string_view fixed = engine.liveries.registrationTitle(record.registration);
        const bool byTitle = !fixed.empty() && fixed != flight.liveryTitle;
        const bool byKey = found && !sameIdentity(flight.key, found->key);
        if (byTitle || byKey) {
            if (found) flight.key = keyOf(found->key);
            liveryChanged = true;
        }
    }
    flight.registration = record.registration;
    if (liveryChanged) lf_forgetLivery(engine, ac);
    return liveryChanged;
}

}  // namespace

void lf_addLiveAcToSim(Engine& engine, LiveAc& ac) {
    if (ac.samples.empty()) return drop(ac);
    if (!hasReached(engine.now(), ac.samples.front().dueTick)) return;
    if (ac.samples.size() == 1) {
        skipFront(ac);
        return drop(ac);
    }
    if (isProvisional(ac.flight.callsign) && inGhostList(engine, ac.flight.callsign)) return drop(ac);
    if (airAndGround(ac)) return skipFront(ac);
    if (lf_holdBuffered(engine, ac)) return;
    if (engine.state.liveCreationQueue.size() > kMaxWaitingCreations && ac.phase == GroundPhase::birth) {
        return skipFront(ac);
    }
    if (!roomForOneMore(engine, ac)) return drop(ac);
    if (blocked(ac)) return drop(ac);
    completeIdentity(ac);
    if (!validCallsign(ac)) return drop(ac);
    if (engine.state.noMatchList.contains(gf_codeAndField(ac.flight))) return drop(ac);
    if (isProvisional(ac.flight.callsign) && lf_isGhostCallsign(engine, ac.flight.callsign)) return drop(ac);
    spawnLiveAc(engine, ac);
}

bool lf_holdBuffered(Engine& engine, LiveAc& ac) {
    const UserAircraftBlock& user = engine.state.userSnapshot;
    const TrafficSample& front = ac.samples.front();
    const GeoPosition at = positionOf(front);
    if (user.onGround.value_or(false)) {
        if (ac.userClearance) {
            const bool wait = user.groundSpeed > kHoldUserSpeedKt ||
                              (front.airborne == 0 && (front.groundSpeed > kHoldUserSpeedKt ||
                                                       gf_distanceNm(userPosition(engine), at) < kHoldUserNm));
            if (wait) {
                skipFront(ac);
                return true;
            }
        }
        if (COLLISION_USER_GND.value() && front.airborne == 0 &&
            gf_distanceNm(userPosition(engine), at) <= kUserGroundClearNm) {
            skipFront(ac);
            return true;
        }
        return false;
    }
    if (!COLLISION_USER_AIR.value()) return false;
    if (!ac.userClearance) {
        // The corridor test reads the position block: the front sample's
        // place, height and track stand in for the object's.
        ac.position.latitude = front.latitude;
        ac.position.longitude = front.longitude;
        ac.altitude = front.altitude;
        ac.heading = normalizeHeading(front.track * kDegToRad);
        if (!gf_removeIfAheadOfUser(engine, ac, UserCorridor::wide)) return false;
        ac.userClearance = true;
    }
    skipFront(ac);
    return true;
}

void spawnLiveAc(Engine& engine, LiveAc& ac) {
    if (ac.samples.size() < 2) {
        gf_logAttention(fmt::format("{} sz:{}", "spawnLiveAc", ac.samples.size()));
        return;
    }
    markStationary(ac);
    if (ac.phase == GroundPhase::birth) {
        if (!chooseLivery(engine, ac)) return;
        if (!chooseStart(engine, ac)) return;
    }
    lf_setStartPosition(engine, ac);
    ac.status = SimStatus::adding2sim;
    ac.handedToSimTick.reset();
    engine.state.hexIdStack.push_back(ac.flight.hexId);
    ++liveSelCount(engine);
    if (!isProvisional(ac.flight.callsign)) lf_removeGhost(engine, ac.flight.callsign);
}

const Stand* lf_findBirthStand(Engine& engine, LiveAc& ac) {
    if (!engine.parkAirport.standsLoaded()) return nullptr;
    const auto airport = engine.parkAirport.current();
    if (!airport) return nullptr;
    TrafficSample& front = ac.samples.front();
    if (gf_distanceNm(airport->position, positionOf(front)) > kBirthStandAirportNm) return nullptr;
    GeoPosition search = positionOf(front);
    if (front.stationary == 0) {
        const TrafficSample& last = ac.samples.back();
        if (ac.samples[1].groundSpeed > kSlowAtStandKt ||
            gf_distanceNm(positionOf(last), positionOf(front)) > kBackAtStandNm) {
            return nullptr;
        }
        search = positionOf(last);
    }
    const Stand* stand = gf_findStandNear(engine, search, ac, kBirthStandNm, false);
    if (stand == nullptr || isReservedStand(engine, *stand) || standUnderUser(engine, *stand)) return nullptr;
    bool allowed = lf_solveCallsignClash(engine, stand->number, ac.flight.callsign);
    for (const std::uint32_t neighbour : stand->neighbours) {
        if (allowed) allowed = lf_neighbourAllows(engine, ac, neighbour);
    }
    if (!allowed) {
        drop(ac);
        return nullptr;
    }
    lf_makeWayAtStand(engine, ac, *stand);
    front.stationary = 1;
    front.groundSpeed = 0.0;
    return stand;
}

void lf_setStartPosition(Engine& engine, LiveAc& ac) {
    const TrafficSample& front = ac.samples.front();
    ac.position.latitude = front.latitude;
    ac.position.longitude = front.longitude;
    ac.altitude = front.altitude;
    ac.trueAirspeed = front.trueAirspeed;
    // The position block carries feet per second; the feed gives feet per minute.
    ac.verticalSpeedFps = front.verticalSpeed / 60.0;
    ac.bank = front.rollValid != 0 ? front.roll : 0.0;
    ac.pitch = startPitch(front);
    double heading = std::fmod(startHeading(ac), 2.0 * std::numbers::pi);
    if (heading < 0.0) heading += 2.0 * std::numbers::pi;
    if (heading > kLastHeading) heading = 0.0;
    ac.heading = heading;
    ac.motion.groundHeading = front.airborne != 0 ? 0.0 : heading;
    ac.userClearance = false;
    engine.state.perSecondHexIds.push_back(ac.flight.hexId);
}

bool lf_respawnLiveAc(Engine& engine, LiveAc& ac, const TrafficRecord& record) {
    if (ac.motion.departing || ac.motion.approaching) return true;
    if (ac.status == SimStatus::buffer) {
        refreshBufferedIdent(ac, record);
        return true;
    }
    if (ac.status != SimStatus::active || ac.phase == GroundPhase::pushing_back || ac.extendCount >= 1) return true;
    bool changed = updateRoute(engine, ac, record);
    if (checkRegistrationChange(engine, ac, record)) changed = true;
    const std::string& callsign = record.callsign;
    if (!callsign.empty() && callsign != ac.flight.callsign && callsign != ac.flight.registration) {
        if (!isProvisional(callsign)) {
            lf_removeGhost(engine, callsign);
        } else if (lf_isGhostCallsign(engine, callsign)) {
            return false;
        }
        ac.flight.callsign = callsign;
        ac.flight.callsignCopy = callsign;
        ac.flight.callsignText.clear();
        changed = true;
    }
    if (!changed || !GUID_CHANGES.value()) return true;
    gf_log(fmt::format("          {} respawns", lf_flightText(ac.flight)));
    liveryRespawn(engine, ac);
    return false;
}

void lf_forgetLivery(Engine& engine, LiveAc& ac) {
    engine.state.rememberedLiveries.erase(ac.flight.hexId);
    ac.flight.liveryTitle = {};
    ac.setPhase(GroundPhase::birth);
}

void noteCreationHanded(Engine& engine, std::uint32_t hexId) {
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.flight.hexId != hexId || ac.status != SimStatus::adding2sim) continue;
        ac.handedToSimTick = engine.now();
        return;
    }
}

void dropIfNeverReported(Engine& engine, LiveAc& ac) {
    if (ac.status != SimStatus::adding2sim || !ac.handedToSimTick || ac.objectId != 0) return;
    if (static_cast<std::int64_t>(engine.now()) - *ac.handedToSimTick < kCreationTimeoutTicks) return;
    gf_logAttention(fmt::format("{} never reported by the simulator, given up", gf_liveAcLine(ac)));
    ac.eraseNow = true;
}

}  // namespace qvl
