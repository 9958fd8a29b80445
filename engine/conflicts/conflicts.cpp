#include "engine/conflicts/conflicts.h"

#include <algorithm>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/settings.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"
#include "engine/conflicts/static_conflicts.h"
#include "engine/stands/stands.h"

namespace qvl {
namespace {

bool beingRemoved(const LiveAc& ac) { return ac.status == SimStatus::removingfromsim; }

bool standsThere(const LiveAc& ac, std::uint32_t standNumber) {
    return ac.status == SimStatus::active && ac.standNumber == standNumber;
}

GeoPosition placeOf(const Stand& stand) { return {.latitude = stand.latitude, .longitude = stand.longitude}; }

// "ABC123_" against "ABC123", either way round.
bool provisionalFormOf(std::string_view a, std::string_view b) {
    return isProvisional(a) && a.substr(0, a.size() - 1) == b;
}

void removeParkedLiveLongest(Engine& engine) {
    const std::vector<ParkedSeconds> parked = lf_listParkedSeconds(engine);
    if (parked.empty()) return;
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.flight.hexId != parked.front().hexId) continue;
        gf_log(fmt::format("{:8}: {} live max park exceeded, removed", engine.stands.standIdText(ac.standNumber),
                           ac.flight.callsign));
        removeAircraftFromSim(engine, ac);
        return;
    }
}

void removeStaticParkedEarliest(Engine& engine) {
    const WeekTime now = engine.weekTime();
    StaticAc* earliest = nullptr;
    std::int32_t longest = 0;
    for (StaticAc& ac : engine.state.staticAircraft) {
        if (ac.status != SimStatus::active) continue;
        // Counted back from now over the week, so Sunday evening is earlier than Monday night.
        const std::int32_t since =
            isValidWeekTime(now) && isValidWeekTime(ac.parkedSince) ? halfHoursSince(ac.parkedSince, now) : 0;
        if (earliest == nullptr || since > longest) {
            earliest = &ac;
            longest = since;
        }
    }
    if (earliest == nullptr) return;
    gf_log(fmt::format("{:8}: {} static max park exceeded, removed", engine.stands.standIdText(earliest->standNumber),
                       earliest->flight.callsign));
    removeAircraftFromSim(engine, *earliest);
}

std::int32_t staticParkedCount(const Engine& engine) {
    return static_cast<std::int32_t>(std::count_if(
        engine.state.staticAircraft.begin(), engine.state.staticAircraft.end(),
        [](const StaticAc& ac) { return ac.status == SimStatus::active || ac.status == SimStatus::removingfromsim; }));
}

std::int32_t parkedLiveCount(const Engine& engine) {
    return static_cast<std::int32_t>(std::count_if(
        engine.state.liveAircraft.begin(), engine.state.liveAircraft.end(),
        [](const LiveAc& ac) { return ac.status == SimStatus::active && ac.phase == GroundPhase::parked; }));
}

}  // namespace

bool isProvisional(std::string_view callsign) noexcept { return !callsign.empty() && callsign.back() == '_'; }

void lf_removeGhost(Engine& engine, std::string_view callsign) {
    if (callsign.empty()) return;
    const std::string ghost = std::string(callsign) + "_";
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (beingRemoved(ac) || ac.flaggedForErase() || ac.flight.callsign != ghost) continue;
        if (ac.phase == GroundPhase::parked) {
            gf_log(fmt::format("{:8}: {:8} is a ghost and will be removed, continue with {}",
                               engine.stands.standIdText(ac.standNumber), ac.flight.callsign, callsign));
        } else {
            gf_log(fmt::format("          {:8} is a ghost and will be removed, continue with {}", ac.flight.callsign,
                               callsign));
        }
        engine.state.ghostList.push_back(ghost);
        removeAircraftFromSim(engine, ac);
        return;
    }
}

bool lf_isGhostCallsign(const Engine& engine, std::string_view provisional) {
    if (!isProvisional(provisional)) return false;
    const std::string_view base = provisional.substr(0, provisional.size() - 1);
    return std::any_of(engine.state.liveAircraft.begin(), engine.state.liveAircraft.end(), [&](const LiveAc& ac) {
        return !beingRemoved(ac) && !ac.flaggedForErase() && ac.flight.callsign == base;
    });
}

bool lf_solveCallsignClash(Engine& engine, std::uint32_t standNumber, std::string_view callsign) {
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (!standsThere(ac, standNumber)) continue;
        const bool onStand = ac.phase == GroundPhase::parked || ac.phase == GroundPhase::pushing_back ||
                             ac.phase == GroundPhase::pushed_back;
        if (!onStand) continue;
        const std::string stand = engine.stands.standIdText(standNumber);
        if (ac.flight.callsign == callsign) {
            gf_log(fmt::format("{:8}: {:8} ac with same callsign {} wants it, remove existing ... ", stand,
                               ac.flight.callsign, callsign));
        } else if (provisionalFormOf(ac.flight.callsign, callsign) || provisionalFormOf(callsign, ac.flight.callsign)) {
            gf_log(fmt::format("{:8}: {:8} ghost, replace by {}", stand, ac.flight.callsign, callsign));
        } else if (ac.seenAtStand) {
            return false;
        } else {
            gf_log(fmt::format("{:8}: {:8} removed because another live {} wants the stand ...", stand,
                               ac.flight.callsign, callsign));
        }
        removeAircraftFromSim(engine, ac);
        return true;
    }
    return true;
}

bool lf_neighbourAllows(Engine& engine, const LiveAc& newcomer, std::uint32_t neighbourNumber) {
    for (const LiveAc& ac : engine.state.liveAircraft) {
        if (!standsThere(ac, neighbourNumber) || &ac == &newcomer) continue;
        if (ac.phase != GroundPhase::parked && ac.phase != GroundPhase::pushing_back) continue;
        if (ac.flight.callsign == newcomer.flight.callsign) continue;
        const Stand* neighbour = engine.stands.findStand(neighbourNumber);
        if (neighbour == nullptr) continue;
        const GeoPosition at{.latitude = newcomer.samples.front().latitude,
                             .longitude = newcomer.samples.front().longitude};
        if (gf_distanceNm(placeOf(*neighbour), at) <= collisionDistance(ac.flight.halfSpan, newcomer.flight.halfSpan)) {
            return false;
        }
    }
    return true;
}

void lf_clearAdjacentLive(Engine& engine, std::uint32_t neighbourNumber, const LiveAc& arriving, const Stand& stand) {
    const Stand* neighbour = engine.stands.findStand(neighbourNumber);
    if (neighbour == nullptr) return;
    const double apart = gf_distanceNm(placeOf(*neighbour), placeOf(stand));
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (&ac == &arriving || !standsThere(ac, neighbourNumber)) continue;
        if (ac.phase != GroundPhase::parked && ac.phase != GroundPhase::pushing_back) continue;
        if (apart > collisionDistance(ac.flight.halfSpan, arriving.flight.halfSpan)) continue;
        gf_log(fmt::format("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                           neighbour->id, ac.flight.callsign, arriving.flight.callsign, stand.id));
        removeAircraftFromSim(engine, ac);
    }
}

void lf_makeWayAtStand(Engine& engine, const LiveAc& ac, const Stand& stand) {
    EngineState& state = engine.state;
    for (StaticAc& other : state.staticAircraft) {
        if (other.standNumber != stand.number || other.status == SimStatus::removingfromsim) continue;
        const bool same = other.flight.callsign == ac.flight.callsign + "*" ||
                          (!ac.flight.registration.empty() && other.flight.registration == ac.flight.registration);
        const bool queued = other.status == SimStatus::adding2sim;
        removeAircraftFromSim(engine, other);
        gf_log(fmt::format("{:8}: {:8} {} makes way for{} {} {}", stand.id, other.flight.callsign,
                           queued && other.eraseDropped ? "queued " : "", same ? " the same live version" : "",
                           ac.flight.callsign, ""));
    }
    std::erase_if(state.staticAircraft, [](const StaticAc& s) { return s.eraseDropped; });
    for (const std::uint32_t number : stand.neighbours) {
        const Stand* neighbour = engine.stands.findStand(number);
        if (neighbour == nullptr) continue;
        for (StaticAc& other : state.staticAircraft) {
            if (other.status != SimStatus::active || other.standNumber != number) continue;
            if (gf_distanceNm(placeOf(*neighbour), placeOf(stand)) >
                collisionDistance(other.flight.halfSpan, ac.flight.halfSpan)) {
                continue;
            }
            gf_log(fmt::format("{:8}: {:8} makes way for {} parking at excluded stand {}", neighbour->id,
                               other.flight.callsign, ac.flight.callsign, stand.id));
            removeAircraftFromSim(engine, other);
        }
    }
}

void checkParkLimit(Engine& engine, std::int32_t extra, std::int32_t limit) {
    if (limit < 1) return;
    const std::int32_t parked = parkedLiveCount(engine);
    if (!INITIAL_LOAD_ONLY.value() && extra + parked > limit) removeParkedLiveLongest(engine);
    if (staticParkedCount(engine) + extra + parked > limit) removeStaticParkedEarliest(engine);
}

}  // namespace qvl
