#include "engine/live_ac_update.h"

#include <exception>

#include <fmt/format.h>

#include "core/log.h"
#include "core/strings.h"
#include "engine/base/engine.h"
#include "engine/base/engine_math.h"
#include "engine/base/removal.h"
#include "engine/motion/motion.h"
#include "engine/spawn.h"

namespace qvl {
namespace {

void logStreamEmpty(const LiveAc& ac) {
    gf_logAttention(fmt::format("{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                                "updateLiveAc", gf_liveAcLine(ac), ac.flight.hexId, gf_objectIdText(ac.objectId),
                                ac.altitude, fmt::format("{:.6f},{:.6f}", ac.position.latitude, ac.position.longitude),
                                ac.trueAirspeed));
}

void logNoObject(const LiveAc& ac) {
    gf_logAttention(fmt::format("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc",
                                ac.flight.hexId, ac.flight.callsign, ac.flight.registration, gf_codeText(ac.flight.key),
                                ac.samples.size()));
}

PositionCommand positionOf(const LiveAc& ac) {
    return PositionCommand{.latitude = ac.position.latitude,
                           .longitude = ac.position.longitude,
                           .pitch = ac.pitch,
                           .bank = ac.bank,
                           .heading = ac.heading,
                           .altitude = ac.altitude,
                           .verticalSpeed = ac.verticalSpeedFps,
                           .trueAirspeed = ac.trueAirspeed,
                           .objectId = ac.objectId};
}

void stepActive(Engine& engine, LiveAc& ac) {
    if (ac.samples.empty()) {
        logStreamEmpty(ac);
        removeAircraftFromSim(engine, ac);
        return;
    }
    if (hasReached(engine.now(), ac.samples.front().dueTick)) {
        nextPosMain(engine, ac);
        ac.verticalSpeedFps = ac.motion.verticalSpeedFpm / 60.0;
        const bool standing = !ac.samples.empty() && ac.samples.front().stationary != 0;
        ac.trueAirspeed = standing ? 0.0 : ac.motion.tas;
    }
    if (ac.status != SimStatus::active) return;
    if (!ac.samples.empty()) {
        if (ac.samples.front().stationary == 0) {
            integrateStep(engine, ac);
        } else {
            turnOnStand(ac);
        }
    }
    if (ac.objectId != 0) {
        engine.link.queues.appendPosition(positionOf(ac));
        return;
    }
    logNoObject(ac);
    removeAircraftFromSim(engine, ac);
}

// A step that fails would fail again on every tick, since its front sample
// is never consumed: the aircraft goes after one log line.
void giveUp(Engine& engine, LiveAc& ac, const char* what) {
    gf_logAttention(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", what, gf_liveAcLine(ac),
                                ac.samples.size(), gf_groundPhaseName(ac.phase), gf_simStatusName(ac.status)));
    if (ac.status == SimStatus::active || ac.status == SimStatus::buffer) removeAircraftFromSim(engine, ac);
}

void giveUpSafely(Engine& engine, LiveAc& ac, const char* what) noexcept {
    try {
        giveUp(engine, ac, what);
    } catch (...) {
        // Out of memory while giving up: the record goes all the same.
        ac.eraseNow = true;
    }
}

}  // namespace

bool updateLiveAc(Engine& engine, LiveAc& ac) {
    if (ac.flaggedForErase()) return true;
    try {
        if (ac.status == SimStatus::buffer) {
            lf_addLiveAcToSim(engine, ac);
        } else if (ac.status == SimStatus::active) {
            stepActive(engine, ac);
        }
    } catch (const std::exception& e) {
        giveUpSafely(engine, ac, e.what());
    } catch (...) {
        giveUpSafely(engine, ac, "unknown exception");
    }
    return ac.flaggedForErase();
}

}  // namespace qvl
