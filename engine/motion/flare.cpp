// The last feet of an approach: four flare stages that raise the nose and
// slow the descent as the ground comes near, and the nose coming down after
// the simulator has reported the touchdown.
#include <algorithm>

#include "engine/base/client_events.h"
#include "engine/motion/motion_steps.h"
#include "platform/units.h"

namespace qvl {
namespace {

constexpr double kFlareStartHeightFt = 400.0;
constexpr double kFlarePitch = -4.0 * kDegToRad;

struct FlareStage {
    double aboveCgFt;      // the stage begins at this height over the resting height
    double altitudeStep;   // feet per tick
    double verticalSpeed;  // ft/min written into the front sample
};
// Stages 1 to 4, begun at c + 30, 20, 10 and 3 ft.
constexpr FlareStage kStages[] = {
    {30.0, -0.1, -601.0}, {20.0, -0.075, -450.0}, {10.0, -0.05, -300.0}, {3.0, -0.025, -150.0}};

// The height over the park airport when it is known (cached for the flare),
// otherwise the simulator's height over the ground.
double heightForFlareStart(const CurrentParkAirportState& parkAirport, LiveAc& ac) {
    MotionState& m = ac.motion;
    if (!m.elevationCache) {
        if (const auto park = parkAirport.current()) m.elevationCache = static_cast<double>(park->elevationFeet);
    }
    m.heightAboveAirport = m.elevationCache ? ac.altitude - *m.elevationCache : m.heightAboveGround;
    return std::min(ac.motion.heightAboveGround, ac.motion.heightAboveAirport);
}

void enterStage(Engine& engine, LiveAc& ac, std::uint32_t stage) {
    const FlareStage& s = kStages[stage - 1];
    if (stage == 1) ac.motion.pitchStep = (kFlarePitch - ac.pitch) / std::max<std::uint32_t>(ac.flight.flareTicks, 1);
    // The next flare of this aircraft takes the airport's elevation afresh.
    ac.motion.elevationCache.reset();
    if (stage == 3) gf_setThrottle(engine, ac, 0);
    ac.motion.altitudeStep = s.altitudeStep;
    if (!ac.samples.empty()) ac.samples.front().verticalSpeed = s.verticalSpeed;
    ac.motion.flareStage = stage;
}

}  // namespace

void flareTick(Engine& engine, LiveAc& ac) {
    if (!ac.motion.approaching || ac.onGround || ac.motion.heightAboveGround > kFlareStartHeightFt) return;
    if (ac.motion.flareStage >= 4) return;
    const double restingHeight = ac.flight.staticCgHeight;
    const double height =
        ac.motion.flareStage == 0 ? heightForFlareStart(engine.parkAirport, ac) : ac.motion.heightAboveGround;
    const std::uint32_t stage = ac.motion.flareStage + 1;
    if (height <= restingHeight + kStages[stage - 1].aboveCgFt) enterStage(engine, ac, stage);
}

bool derotationTick(LiveAc& ac) {
    ac.bank += ac.motion.bankStep;
    ac.pitch += ac.motion.pitchStep;
    const double rest = ac.flight.staticPitch;
    const bool passed = ac.motion.pitchStep >= 0.0 ? ac.pitch >= rest : ac.pitch <= rest;
    if (!passed) return true;
    ac.pitch = rest;
    ac.motion.pitchStep = 0.0;
    ac.bank = 0.0;
    ac.motion.bankStep = 0.0;
    ac.motion.derotating = false;
    ac.motion.flareStage = 0;
    return false;
}

}  // namespace qvl
