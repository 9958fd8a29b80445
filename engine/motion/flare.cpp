// The last feet of an approach: four flare stages that raise the nose and
// slow the descent as the ground comes near, and the nose coming down after
// the simulator has reported the touchdown.
#include <algorithm>

#include "engine/client_events.h"
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
double heightForFlareStart(const Engine& engine, LiveAc& ac) {
    if (ac.elevationCacheValid == 0) {
        if (const auto park = engine.parkAirport.current()) {
            ac.elevationCache = static_cast<double>(park->elevationFeet);
            ac.elevationCacheValid = 1;
        }
    }
    ac.heightAboveAirport = ac.elevationCacheValid != 0 ? ac.altitude - ac.elevationCache : ac.heightAboveGround;
    return std::min(ac.heightAboveGround, ac.heightAboveAirport);
}

void enterStage(Engine& engine, LiveAc& ac, std::uint32_t stage) {
    const FlareStage& s = kStages[stage - 1];
    if (stage == 1) ac.pitchStep = (kFlarePitch - ac.pitch) / std::max<std::uint32_t>(ac.flight.flareTicks, 1);
    // The next flare of this aircraft takes the airport's elevation afresh.
    ac.elevationCacheValid = 0;
    if (stage == 3) gf_setThrottle(engine, ac, 0);
    ac.altitudeStep = s.altitudeStep;
    if (!ac.samples.empty()) ac.samples.front().verticalSpeed = s.verticalSpeed;
    ac.flareStage = stage;
}

}  // namespace

void flareTick(Engine& engine, LiveAc& ac) {
    if (ac.approaching == 0 || ac.onGround != 0 || ac.heightAboveGround > kFlareStartHeightFt) return;
    if (ac.flareStage >= 4) return;
    const double restingHeight = ac.flight.staticCgHeight;
    const double height = ac.flareStage == 0 ? heightForFlareStart(engine, ac) : ac.heightAboveGround;
    const std::uint32_t stage = ac.flareStage + 1;
    if (height <= restingHeight + kStages[stage - 1].aboveCgFt) enterStage(engine, ac, stage);
}

bool derotationTick(LiveAc& ac) {
    ac.bank += ac.bankStep;
    ac.pitch += ac.pitchStep;
    const double rest = ac.flight.staticPitch;
    const bool passed = ac.pitchStep >= 0.0 ? ac.pitch >= rest : ac.pitch <= rest;
    if (!passed) return true;
    ac.pitch = rest;
    ac.pitchStep = 0.0;
    ac.bank = 0.0;
    ac.bankStep = 0.0;
    ac.derotating = 0;
    ac.flareStage = 0;
    return false;
}

}  // namespace qvl
