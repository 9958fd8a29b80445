#include "engine/conflicts/static_conflicts.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/settings.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"
#include "engine/stands/stands.h"

namespace qvl {
namespace {

constexpr std::int64_t kUnseenParkedMinutes = 90;
constexpr std::int64_t kUnseenParkedMinutesHeavy = 180;

bool isActive(const AcRecord& ac) { return ac.status == SimStatus::active; }
bool isParkedLive(const LiveAc& ac) { return isActive(ac) && ac.phase == GroundPhase::parked; }

std::string_view withoutMark(std::string_view callsign, char mark) {
    if (!callsign.empty() && callsign.back() == mark) callsign.remove_suffix(1);
    return callsign;
}

bool sameRegistration(const StaticAc& other, const LiveAc& ac) {
    return !ac.flight.registration.empty() && other.flight.registration == ac.flight.registration;
}

GeoPosition standOf(const AcRecord& ac) { return ac.stand.position; }
GeoPosition placeOf(const LiveAc& ac) { return ac.position; }

void removeStatic(Engine& engine, StaticAc& other, std::string_view why, const LiveAc& ac) {
    gf_log(fmt::format("{:8}: {:8} {} {}", engine.stands.standIdText(other.standNumber), other.flight.callsign, why,
                       ac.flight.callsign));
    removeAircraftFromSim(engine, other);
}

std::int64_t minutesSince(const Engine& engine, std::chrono::steady_clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::minutes>(engine.clocks.steadyNow() - then).count();
}

LiveAc* liveByHexId(Engine& engine, std::uint32_t hexId) {
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.flight.hexId == hexId) return &ac;
    }
    return nullptr;
}

}  // namespace

void gf_removeStaticTwins(Engine& engine, const LiveAc& ac) {
    const std::string_view base = withoutMark(ac.flight.callsign, '_');
    const auto named = [&](const std::string& part) {
        return !part.empty() && (part == ac.flight.callsign || part == base);
    };
    for (StaticAc& other : engine.state.staticAircraft) {
        if (!isActive(other)) continue;
        if (sameRegistration(other, ac) || named(other.flight.callsignCopy) || named(other.flight.callsignText)) {
            removeStatic(engine, other, "static twin of live", ac);
            return;
        }
    }
}

void gf_removeStaticDuplicates(Engine& engine) {
    for (const LiveAc& ac : engine.state.liveAircraft) {
        if (!isActive(ac) || !ac.onGround) continue;
        const std::string starred = ac.flight.callsign + "*";
        for (StaticAc& other : engine.state.staticAircraft) {
            if (!isActive(other)) continue;
            if (sameRegistration(other, ac) || other.flight.callsign == starred) {
                removeStatic(engine, other, "static duplicate of live", ac);
                return;
            }
        }
    }
}

void gf_clearStaticInTaxiPaths(Engine& engine) {
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (!isActive(ac) || !ac.onGround) continue;
        if (ac.phase != GroundPhase::taxi && ac.phase != GroundPhase::parking) continue;
        if (samePosition(ac.position.latitude, ac.position.longitude, ac.pathClear.latitude, ac.pathClear.longitude))
            continue;
        lf_clearStaticInPath(engine, ac);
    }
}

void lf_clearStaticInPath(Engine& engine, LiveAc& ac) {
    if (ac.motion.departing || ac.motion.landed) return;
    ac.pathClear = ac.position;
    // Its own static version is the twin rules' to remove.
    const std::string_view callsign = ac.flight.callsign;
    for (StaticAc& other : engine.state.staticAircraft) {
        if (!isActive(other) || withoutMark(other.flight.callsign, '*') == callsign) continue;
        if (gf_distanceNm(standOf(other), placeOf(ac)) > collisionDistance(other.flight.halfSpan, ac.flight.halfSpan)) {
            continue;
        }
        removeStatic(engine, other, "in the path of taxiing", ac);
        return;
    }
}

void gf_clearReservedStand(Engine& engine, std::string_view standName) {
    std::uint32_t number = 0;
    const std::size_t count = engine.stands.standCount();
    for (std::size_t i = 0; i < count && number == 0; ++i) {
        const auto stand = engine.stands.standAt(i);
        if (stand && stand->id == standName) number = stand->number;
    }
    // Aircraft without a stand carry number 0 too.
    if (number == 0) return;
    for (StaticAc& other : engine.state.staticAircraft) {
        if (!isActive(other) || other.standNumber != number) continue;
        gf_log(fmt::format("{:8}: {:8} removed from the reserved stand", standName, other.flight.callsign));
        removeAircraftFromSim(engine, other);
        return;
    }
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (!isParkedLive(ac) || ac.standNumber != number) continue;
        gf_log(fmt::format("{:8}: {:8} removed from the reserved stand", standName, ac.flight.callsign));
        removeAircraftFromSim(engine, ac);
        return;
    }
}

void gf_flushStaticAc(Engine& engine) {
    for (StaticAc& other : engine.state.staticAircraft) {
        if (isActive(other) || other.status == SimStatus::adding2sim) removeAircraftFromSim(engine, other);
    }
    std::erase_if(engine.state.staticAircraft, [](const StaticAc& s) { return s.eraseDropped; });
}

std::vector<ParkedLive> lf_listParkedLive(Engine& engine) {
    std::vector<ParkedLive> list;
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (!isParkedLive(ac)) continue;
        const std::int64_t minutes = ac.seenAtStand ? 0 : minutesSince(engine, ac.parkedAt);
        const std::int64_t limit =
            ac.flight.category == AircraftCategory::Heavy ? kUnseenParkedMinutesHeavy : kUnseenParkedMinutes;
        if (minutes > limit && !INITIAL_LOAD_ONLY.value()) {
            gf_log(fmt::format("{:8}: {:8} parked {} minutes without data, removed",
                               engine.stands.standIdText(ac.standNumber), ac.flight.callsign, minutes));
            removeAircraftFromSim(engine, ac);
            continue;
        }
        list.push_back({.callsign = ac.flight.callsign, .standNumber = ac.standNumber, .minutes = minutes});
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const ParkedLive& a, const ParkedLive& b) { return a.minutes > b.minutes; });
    return list;
}

std::vector<ParkedSeconds> lf_listParkedSeconds(const Engine& engine) {
    std::vector<ParkedSeconds> list;
    const auto now = engine.clocks.steadyNow();
    for (const LiveAc& ac : engine.state.liveAircraft) {
        if (!isParkedLive(ac)) continue;
        list.push_back({.hexId = ac.flight.hexId,
                        .seconds = std::chrono::duration_cast<std::chrono::seconds>(now - ac.parkedAt).count()});
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const ParkedSeconds& a, const ParkedSeconds& b) { return a.seconds > b.seconds; });
    return list;
}

void lf_removeParkedLive(Engine& engine, std::int32_t n) {
    const std::vector<ParkedSeconds> list = lf_listParkedSeconds(engine);
    const std::size_t count = std::min(list.size(), static_cast<std::size_t>(std::max(n, 0)));
    for (std::size_t i = 0; i < count; ++i) {
        LiveAc* ac = liveByHexId(engine, list[i].hexId);
        if (ac == nullptr) continue;
        gf_log(fmt::format("live parked {} at {} removed", gf_flightLine(ac->flight),
                           engine.stands.standIdText(ac->standNumber)));
        removeAircraftFromSim(engine, *ac);
    }
}

}  // namespace qvl
