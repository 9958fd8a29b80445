// The configuration of an airborne aircraft below 10000 ft by its height over
// the ground: lights, throttle, gear and flaps on the way up and down, the
// clean-up for a climb and the start of an approach near the park airport.
#include "core/geodesy.h"
#include "engine/base/client_events.h"
#include "engine/motion/motion_steps.h"
#include "simlink/sim_queues.h"

namespace qvl {
namespace {

constexpr double kNearParkAirportNm = 10.0;

bool isRotorcraft(const LiveAc& ac) { return ac.flight.category == AircraftCategory::Rotorcraft; }

// Flaps one notch further for a level or descending aircraft getting lower.
void extendFlapsByHeight(Engine& engine, LiveAc& ac) {
    if (ac.motion.heightAboveGround < 2000.0) {
        if (ac.flapsIndex == 0) {
            gf_setFlaps(engine, ac, 1);
        } else if (ac.flapsIndex == 1) {
            gf_setFlaps(engine, ac, 2);
        }
    } else if (ac.flapsIndex == 0) {
        gf_setFlaps(engine, ac, 1);
    }
}

void aboveApproachHeight(Engine& engine, LiveAc& ac) {
    lowerRetimeLimits(ac);
    gf_queueCabinLights(engine.link.queues, ac.objectId, true);
    ac.motion.departing = false;
    ac.motion.approaching = false;
    const double climb = ac.motion.verticalSpeedFpm;
    if (climb <= -250.0 && ac.throttleStep == 3) {
        gf_setThrottle(engine, ac, isRotorcraft(ac) ? 4 : 2);
    } else if (climb > 400.0 && ac.throttleStep == 4) {
        gf_setThrottle(engine, ac, isRotorcraft(ac) ? 4 : 3);
    }
    if (ac.motion.heightAboveGround >= 2400.0) {
        gf_setGear(engine, ac, false);
        gf_setFlaps(engine, ac, 0);
    } else if (climb <= 100.0) {
        extendFlapsByHeight(engine, ac);
    }
}

bool nearParkAirport(const CurrentParkAirportState& parkAirport, const LiveAc& ac) {
    const auto park = parkAirport.current();
    return park && gf_distanceNm(park->position, positionOf(ac)) <= kNearParkAirportNm;
}

// A climb (or a go-around) low over the ground: gear and flaps up, full power.
void setClean(Engine& engine, LiveAc& ac) {
    lowerRetimeLimits(ac);
    gf_setThrottle(engine, ac, 4);
    gf_setGear(engine, ac, false);
    gf_setFlaps(engine, ac, 0);
    ac.motion.climbConfigured = true;
    ac.motion.flareStage = 0;
    ac.motion.approaching = false;
}

void beginApproach(Engine& engine, LiveAc& ac) {
    gf_setThrottle(engine, ac, isRotorcraft(ac) ? 4 : 1);
    gf_setFlaps(engine, ac, 3);
    gf_setGear(engine, ac, true);
    // The stand it came from is no longer its own; where it parks is learned anew.
    engine.state.perSecondHexIds.push_back(ac.flight.hexId);
    ac.motion.approaching = true;
    ac.motion.climbConfigured = false;
    ac.stand = {};
    ac.standNumber = 0;
    ac.standFlag = 0;
    ac.motion.rotationCountdown = 1;
    ac.motion.lateLimit = ac.motion.departing ? 5000 : 3000;
    ac.motion.earlyLimit = 3000;
}

}  // namespace

double approachHeight(AircraftCategory category) noexcept {
    switch (category) {
        case AircraftCategory::Buzjets:
        case AircraftCategory::Large:
        case AircraftCategory::Heavy: return 2050.0;
        default: return 625.0;
    }
}

void approachConfiguration(Engine& engine, LiveAc& ac) {
    gf_queueCabinLights(engine.link.queues, ac.objectId, false);
    const bool nearPark = nearParkAirport(engine.parkAirport, ac);
    const double climb = ac.motion.verticalSpeedFpm;
    if (climb > -250.0) {
        const bool climbingOut = climb > 600.0 || (ac.motion.approaching && !nearPark);
        if (climbingOut && !ac.motion.climbConfigured) setClean(engine, ac);
    } else if (nearPark && !ac.motion.approaching) {
        beginApproach(engine, ac);
    }
}

void lowLevelConfiguration(Engine& engine, LiveAc& ac) {
    if (!ac.motion.lowLevelLightsSet) {
        ac.motion.lowLevelLightsSet = true;
        ac.motion.aboveFl100Configured = false;
        gf_queueLights(
            engine.link.queues, ac.objectId,
            {.nav = true, .beacon = true, .landing = true, .taxi = true, .strobes = true, .logo = true, .cabin = true});
    }
    if (ac.motion.heightAboveGround > approachHeight(ac.flight.category)) {
        aboveApproachHeight(engine, ac);
    } else {
        approachConfiguration(engine, ac);
    }
}

}  // namespace qvl
