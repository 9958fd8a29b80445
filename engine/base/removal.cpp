#include "engine/base/removal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "core/log.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "platform/units.h"
#include "refdata/code_table.h"

namespace qvl {
namespace {

struct CorridorLimits {
    double distanceNm;
    double altitudeFt;
    double asideFt;
};
constexpr std::array<CorridorLimits, 2> kCorridors{{{4.0, 1000.0, 700.0}, {6.0, 3000.0, 4000.0}}};

GeoPosition positionOf(const LiveAc& ac) { return ac.position; }

GeoPosition userPosition(const Engine& engine) { return engine.state.userSnapshot.position(); }

void stopFollowing(Engine& engine, std::uint32_t objectId) {
    if (objectId == 0 || engine.state.followedObjectId != objectId) return;
    engine.state.followedObjectId = 0;
    gf_resetCallsignChoices(engine);
}

void withdrawOrMark(Engine& engine, AcRecord& ac) {
    EngineState& state = engine.state;
    const bool withdrawn = gf_dropQueuedCallsign(state.liveCreationQueue, ac.flight.callsign) ||
                           gf_dropQueuedCallsign(state.staticCreationQueue, ac.flight.callsign);
    if (withdrawn) {
        ac.eraseDropped = true;
    } else {
        ac.removeWhenCreated = true;
    }
}

// The sample that stands in for the object while it is created anew.
void prepareRespawnSamples(Engine& engine, LiveAc& ac) {
    if (ac.samples.empty()) return;
    TrafficSample copy = ac.samples.front();
    if (ac.phase != GroundPhase::parked) {
        copy.latitude = ac.position.latitude;
        copy.longitude = ac.position.longitude;
        copy.altitude = ac.altitude;
        copy.roll = ac.bank;
        copy.rollValid = 1;
        TrafficSample& front = ac.samples.front();
        if (samePosition(front.latitude, front.longitude, ac.position.latitude, ac.position.longitude))
            front.stationary = 1;
    } else {
        ac.samples.resize(1);
        TrafficSample& front = ac.samples.front();
        front.stationary = 1;
        front.track = ac.heading * kRadToDeg;
        copy.stationary = 1;
    }
    copy.dueTick = nextTick(engine.now());
    ac.samples.push_front(copy);
}

}  // namespace

void removeAircraftFromSim(Engine& engine, AcRecord& ac) {
    if (ac.status == SimStatus::buffer) {
        ac.eraseNow = true;
        return;
    }
    if (ac.removeWhenCreated) return;
    if (ac.status == SimStatus::adding2sim) {
        withdrawOrMark(engine, ac);
        return;
    }
    // Its removal is queued already; a second one would ask the simulator to
    // remove an object that is going or gone.
    const bool removalQueued = ac.status == SimStatus::removingfromsim || ac.status == SimStatus::liveryrespawn;
    if (ac.isLive() && ac.standNumber != 0) engine.stands.setStandOccupied(ac.standNumber, false);
    stopFollowing(engine, ac.objectId);
    ac.status = SimStatus::removingfromsim;
    if (ac.objectId == 0) {
        // No "removed" will ever come for it: the record goes at the end of
        // this tick, and its hex id is free again.
        gf_logAttention(
            fmt::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim", ac.flight.callsign));
        ac.eraseNow = true;
        return;
    }
    if (!removalQueued) engine.state.removalQueue.push_back(ac.objectId);
}

void liveryRespawn(Engine& engine, LiveAc& ac) {
    try {
        prepareRespawnSamples(engine, ac);
        ac.status = SimStatus::liveryrespawn;
        ac.motion.forcedHeading = ac.heading;
        stopFollowing(engine, ac.objectId);
        if (ac.objectId != 0) {
            engine.state.removalQueue.push_back(ac.objectId);
            return;
        }
        gf_logAttention(fmt::format("{} removing act {} with objectid=0 ?", "liveryRespawn", ac.flight.callsign));
        // No object to wait for: straight back to be created again.
        ac.status = SimStatus::buffer;
        ac.throttleStep = 5;
        ac.flapsIndex = 4;
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{}: {}", "liveryRespawn", e.what()));
    }
}

bool gf_dropQueuedCallsign(std::deque<CreateAircraftCommand>& queue, std::string_view callsign) {
    if (callsign.empty()) return false;
    const auto removed = std::erase_if(queue, [&](const CreateAircraftCommand& c) { return c.callsign == callsign; });
    return removed != 0;
}

bool gf_removeIfAheadOfUser(Engine& engine, LiveAc& ac, UserCorridor corridor) {
    const CorridorLimits& limits = kCorridors[static_cast<std::size_t>(corridor)];
    const GeoPosition user = userPosition(engine);
    const double d = gf_distanceNm(user, positionOf(ac));
    const double x = wrapPi(ac.heading - gf_initialBearing(user, positionOf(ac)));
    const bool inside =
        d <= limits.distanceNm && std::fabs(ac.altitude - engine.state.userSnapshot.altitude) < limits.altitudeFt &&
        std::cos(x) * d * kFeetPerNmExact > 0.0 && std::fabs(std::sin(x)) * d * kFeetPerNmExact <= limits.asideFt;
    if (inside) removeAircraftFromSim(engine, ac);
    return inside;
}

bool gf_removeFarthestLiveAc(Engine& engine, double limitNm) {
    const GeoPosition user = userPosition(engine);
    LiveAc* farthest = nullptr;
    double best = 0.0;
    for (LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status != SimStatus::active) continue;
        const double d = gf_distanceNm(user, positionOf(ac));
        const bool counts =
            limitNm < 0.0 ? (farthest == nullptr || d > best) : d > (farthest == nullptr ? limitNm : best) + 0.1;
        if (counts) {
            farthest = &ac;
            best = d;
        }
    }
    if (farthest == nullptr) return true;
    removeAircraftFromSim(engine, *farthest);
    return false;
}

void gf_resetCallsignChoices(Engine& engine) {
    engine.status.showFollowedAircraft({});
    engine.status.statusChanged();
    CALLSIGN_2_OBJECTID.setValues({std::string{}});
    CALLSIGN_2_OBJECTID.set({});
    engine.status.callsignChoicesChanged(false);
}

bool gf_fillCallsignChoices(Engine& engine) {
    std::vector<std::string> callsigns;
    for (const LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status == SimStatus::active && ac.phase != GroundPhase::parked) callsigns.push_back(ac.flight.callsign);
    }
    std::sort(callsigns.begin(), callsigns.end());
    const bool any = !callsigns.empty();
    CALLSIGN_2_OBJECTID.set(any ? callsigns.front() : std::string{});
    CALLSIGN_2_OBJECTID.setValues(std::move(callsigns));
    engine.status.callsignChoicesChanged(any);
    return any;
}

void gf_writeObjectIdList(const Engine& engine, FileWriter& writer) {
    gf_writeObjectIdList(engine, writer, kObjectIdList);
}

void gf_writeObjectIdList(const Engine& engine, FileWriter& writer, const std::filesystem::path& file) {
    for (const FileJobDone& done : writer.takeDone()) {
        if (done.error) gf_log(fmt::format("Failed to write {}", gf_pathToUtf8(done.file)));
    }
    if (writer.pending() != 0) return;
    std::string text;
    for (const LiveAc& ac : engine.state.liveAircraft) {
        if (ac.status != SimStatus::active) continue;
        fmt::format_to(std::back_inserter(text), "{};{};{};{};{};{};{}\n", gf_objectIdText(ac.objectId),
                       ac.flight.callsign, ac.flight.registration, airlineCodeOf(ac.flight.key.airlineId),
                       modelCodeOf(ac.flight.key.modelId), ac.onGround ? "GND" : "AIR",
                       ac.phase == GroundPhase::parked ? "PARKED" : "");
    }
    writer.replace(file, std::move(text));
}

void eraseLiveAc(EngineState& state, const LiveAc& ac) {
    auto& list = state.liveAircraft;
    const auto it = std::find_if(list.begin(), list.end(), [&](const LiveAc& each) { return &each == &ac; });
    if (it == list.end()) return;
    if (std::next(it) != list.end()) *it = std::move(list.back());
    list.pop_back();
}

}  // namespace qvl
