// Placing one waiting static parked aircraft: the candidate taken from the
// back of the list becomes a StaticAc on its stand and its creation is
// queued, unless an aircraft on the stand or beside it refuses it.
#include "engine/parking/static_placing.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "core/log.h"
#include "engine/base/engine.h"
#include "engine/stands/stands.h"
#include "platform/units.h"
#include "refdata/code_table.h"

namespace qvl {
namespace {

// Static hex ids run 1..9999: 0 is the simulator link's "no aircraft", and
// live aircraft have ids above 10000.
constexpr std::uint32_t kLastStaticHexId = 9999;
constexpr std::int64_t kSlotsPerDay = 48;
constexpr std::int64_t kSlotsPerWeek = 7 * kSlotsPerDay;

std::uint32_t nextStaticHexId(std::uint32_t counter) { return counter % kLastStaticHexId + 1; }

// An aircraft already on its way out leaves its stand free: refusing a
// candidate for it would drop the flight that an adjustment sends to
// replace it.
bool staysOnStand(const AcRecord& ac) { return !ac.flaggedForErase() && ac.status != SimStatus::removingfromsim; }

const LiveAc* liveParkedOn(const EngineState& state, std::uint32_t standNumber) {
    for (const LiveAc& ac : state.liveAircraft) {
        if (ac.standNumber != standNumber || !staysOnStand(ac)) continue;
        if (ac.phase == GroundPhase::parking || ac.phase == GroundPhase::parked) return &ac;
    }
    return nullptr;
}

const StaticAc* staticOn(const EngineState& state, std::uint32_t standNumber) {
    for (const StaticAc& ac : state.staticAircraft) {
        if (ac.standNumber == standNumber && staysOnStand(ac)) return &ac;
    }
    return nullptr;
}

std::optional<std::string> liveRefusal(Engine& engine, const Stand& stand, const std::string& callsign) {
    if (const LiveAc* live = liveParkedOn(engine.state, stand.number)) {
        return fmt::format("{:8}: no static parking for {}, live aircraft {} standing here", stand.id, callsign,
                           live->flight.callsign);
    }
    for (const std::uint32_t number : stand.neighbours) {
        if (number == 0) continue;
        if (const LiveAc* live = liveParkedOn(engine.state, number)) {
            return fmt::format("{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly colliding",
                               stand.id, callsign, live->flight.callsign, engine.stands.standIdText(number));
        }
    }
    return std::nullopt;
}

std::optional<std::string> staticRefusal(Engine& engine, const Stand& stand, const std::string& callsign) {
    const auto line = [&](const StaticAc& other, const std::string& where) {
        return fmt::format("{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding",
                           stand.id, callsign, other.flight.callsign, where);
    };
    if (const StaticAc* other = staticOn(engine.state, stand.number)) return line(*other, stand.id);
    for (const std::uint32_t number : stand.neighbours) {
        if (number == 0) continue;
        if (const StaticAc* other = staticOn(engine.state, number)) {
            return line(*other, engine.stands.standIdText(number));
        }
    }
    return std::nullopt;
}

// The log line of the first rule that keeps the stand from the candidate.
std::optional<std::string> refusal(Engine& engine, const Stand& stand, const std::string& callsign) {
    if (auto line = liveRefusal(engine, stand, callsign)) return line;
    if (auto line = staticRefusal(engine, stand, callsign)) return line;
    if (stand.occupied) {
        return fmt::format("{:8}: no static parking for {}, live aircraft occupies the stand", stand.id, callsign);
    }
    return std::nullopt;
}

// The arriving flight's callsign while it stays, the departing one's
// otherwise; the other when the chosen one is empty. A candidate without
// flight ids is named after its airline and hex id.
std::string candidateCallsign(const ParkPosition& entry, std::uint32_t hexId) {
    if (entry.key.packed() == 0) return fmt::format("{}{}{}", airlineCodeOf(entry.key.airlineId), hexId, "*");
    const std::string& preferred = entry.stays ? entry.callsign1 : entry.callsign2;
    const std::string& other = entry.stays ? entry.callsign2 : entry.callsign1;
    std::string callsign = lf_staticCallsign(preferred);
    if (callsign.empty()) callsign = lf_staticCallsign(other);
    return callsign;
}

// The week time `halfHours` back from `now`, over the week's 336 slots
// (Monday goes back to Sunday). An invalid week time stays as it is.
WeekTime weekTimeBack(WeekTime now, std::uint32_t halfHours) {
    if (!isValidWeekTime(now)) return now;
    const std::int64_t back = static_cast<std::int64_t>(halfHours) % kSlotsPerWeek;
    const std::int64_t at = (static_cast<std::int64_t>(now.day) - 1) * kSlotsPerDay + now.slot - back;
    const std::int64_t wrapped = (at + kSlotsPerWeek) % kSlotsPerWeek;
    return {.day = static_cast<std::uint32_t>(wrapped / kSlotsPerDay + 1),
            .slot = static_cast<std::uint32_t>(wrapped % kSlotsPerDay)};
}

StaticAc staticOnStand(const ParkPosition& entry, const Stand& stand, const std::string& callsign,
                       std::uint32_t hexId) {
    TrafficRecord identity;
    identity.ids = entry.key.packed();
    identity.callsign = callsign;
    identity.text1 = entry.callsign1;
    identity.text2 = entry.callsign2;
    identity.registration = entry.registration;
    StaticAc ac;
    ac.flight = gf_buildFlightRec(identity);
    ac.flight.hexId = hexId;
    ac.stand = {.position = {.latitude = stand.latitude, .longitude = stand.longitude}, .heading = stand.heading};
    ac.standNumber = stand.number;
    ac.standFlag = stand.cargo ? 1 : 0;
    return ac;
}

CreateAircraftCommand creationOf(const StaticAc& ac) {
    return CreateAircraftCommand{.position = {.latitude = ac.stand.position.latitude,
                                              .longitude = ac.stand.position.longitude,
                                              .altitude = 0.0,
                                              .pitch = 0.0,
                                              .bank = 0.0,
                                              .heading = ac.stand.heading * kRadToDeg,
                                              .onGround = 1,
                                              .airspeed = 0},
                                 .callsign = ac.flight.callsign,
                                 .liveryTitle = std::string(ac.flight.liveryTitle),
                                 .hexId = ac.flight.hexId};
}

void place(Engine& engine, const ParkPosition& entry, const Stand& stand) {
    ParkingState& parking = engine.state.parking;
    const std::uint32_t hexId = nextStaticHexId(parking.staticHexIdCounter);
    const std::string callsign = candidateCallsign(entry, hexId);
    if (const auto line = refusal(engine, stand, callsign)) {
        gf_log(*line);
        return;
    }
    parking.staticHexIdCounter = hexId;
    if (callsign.empty()) gf_logAttention(fmt::format("{} callsign is empty..", "lf_detcs"));
    StaticAc ac = staticOnStand(entry, stand, callsign, hexId);
    if (!engine.liveries.matchStaticAcLiveryOnStand(ac.flight, stand.id, entry.key.cargo != 0)) return;
    ac.parkedSince = weekTimeBack(engine.weekTime(), entry.fit);
    ac.status = SimStatus::adding2sim;
    engine.state.staticCreationQueue.push_back(creationOf(ac));
    engine.state.staticAircraft.push_back(std::move(ac));
}

}  // namespace

std::string lf_staticCallsign(std::string callsign) {
    while (!callsign.empty() && callsign.back() == '_') callsign.pop_back();
    // Nothing left is no callsign: a lone "*" names no flight.
    if (callsign.empty()) return callsign;
    if (callsign.back() != '*') callsign.push_back('*');
    return callsign;
}

void lf_detcs(Engine& engine) {
    std::vector<ParkPosition>& candidates = engine.state.parking.candidates;
    if (candidates.empty() || engine.stands.standCount() == 0) return;
    const ParkPosition entry = std::move(candidates.back());
    candidates.pop_back();
    const Stand* stand = entry.standNumber < 1 ? nullptr : engine.stands.findStand(entry.standNumber);
    if (stand == nullptr) {
        gf_logAttention(fmt::format("stand with id {} not found", entry.standNumber));
        return;
    }
    place(engine, entry, *stand);
}

}  // namespace qvl
