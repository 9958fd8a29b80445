// One tick along the steps set when the last sample fell due: heading and
// position, attitude and altitude (with the flare, the de-rotation and the
// climb-out), and a position kept on the globe.
#include <algorithm>
#include <cmath>

#include "engine/base/engine_math.h"
#include "engine/motion/motion.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"

namespace qvl {
namespace {

constexpr double kTurnDeadBand = 0.5 * kDegToRad;
constexpr double kFlareMaxNoseUp = -4.0 * kDegToRad;
// Radians: less than this left of a turn is a rounding of the sums, not a turn.
constexpr double kHeadingRounding = 1e-9;

bool headingFollowsSteps(GroundPhase phase) {
    return phase == GroundPhase::take_off || phase == GroundPhase::flying || phase == GroundPhase::parked ||
           phase == GroundPhase::birth;
}

void steerAndMove(LiveAc& ac) {
    if (curveIsSet(ac)) {
        followCurve(ac);
        return;
    }
    if (headingFollowsSteps(ac.phase)) ac.heading = normalizeHeading(ac.heading + ac.motion.headingStep);
    if (ac.phase == GroundPhase::parking || ac.motion.turningOnGround) turnTowards(ac, ac.motion.bearingToNext);
    // Pushed back, the aircraft stands until it taxis.
    if (ac.phase == GroundPhase::pushed_back) return;
    ac.position.latitude += ac.motion.latStep;
    ac.position.longitude += ac.motion.lonStep;
}

void attitudeAndAltitude(Engine& engine, LiveAc& ac) {
    flareTick(engine, ac);
    if (ac.motion.derotating) {
        derotationTick(ac);
    } else if (ac.motion.flareStage != 0) {
        ac.bank = std::clamp(ac.bank + ac.motion.bankStep, -kPi, kPi);
        ac.pitch = std::max(ac.pitch + ac.motion.pitchStep, kFlareMaxNoseUp);
        ac.altitude += ac.motion.altitudeStep;
    } else if (ac.onGround) {
        ac.pitch = ac.flight.staticPitch;
        ac.bank = 0.0;
    } else {
        ac.bank += ac.motion.bankStep;
        ac.pitch += ac.motion.pitchStep;
        ac.altitude += ac.motion.altitudeStep;
    }
}

// The stand heading as the aircraft's heading holds it, in [0, 2 pi).
double standHeadingTarget(const LiveAc& ac) noexcept { return normalizeHeading(ac.stand.heading); }

}  // namespace

void turnTowards(LiveAc& ac, double bearing) {
    const double difference = wrapPi(bearing - ac.heading);
    if (std::fabs(difference) <= kTurnDeadBand) return;
    const double step = std::min(ac.flight.turnStep, std::fabs(difference));
    ac.heading = normalizeHeading(ac.heading + std::copysign(step, difference));
}

// The last leg onto a stand ends along the bearing it came from, and the
// aircraft stops turning when it parks; a push-back leaves straight back along
// the stand heading. So a parked aircraft finishes its turn in place to the
// stand heading, as it would on a real stand, rather than be pushed back
// sideways. The last step lands on the stand heading itself, so the heading
// then stays put and the way off the stand (which waits for it) can tell
// that the turn has ended.
void turnOnStand(LiveAc& ac) {
    if (!turningOnStand(ac)) return;
    const double target = standHeadingTarget(ac);
    const double difference = wrapPi(target - ac.heading);
    const double step = ac.flight.groundTurnStep;
    if (std::fabs(difference) <= step + kHeadingRounding) {
        ac.heading = target;
        return;
    }
    ac.heading = normalizeHeading(ac.heading + std::copysign(step, difference));
}

bool turningOnStand(const LiveAc& ac) noexcept {
    // A turn rate of nothing would never end the turn, and nothing may wait for it.
    if (ac.phase != GroundPhase::parked || ac.standNumber == 0 || !(ac.flight.groundTurnStep > 0.0)) return false;
    return ac.heading != standHeadingTarget(ac);
}

void integrateStep(Engine& engine, LiveAc& ac) {
    steerAndMove(ac);
    if (ac.phase == GroundPhase::take_off) {
        rotationTick(engine, ac);
    } else {
        attitudeAndAltitude(engine, ac);
    }
    normalizePosition(ac.position.latitude, ac.position.longitude);
}

}  // namespace qvl
