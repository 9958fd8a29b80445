#include "engine/base/motion_tables.h"

#include "core/settings.h"

#include <array>
#include <stdexcept>

#include "core/random.h"
#include "platform/units.h"

namespace qvl {
namespace {

// Light, Buzjets, Large, Heavy, HighPerf, Rotorcraft.
constexpr std::array<CategoryMotion, kAircraftCategoryCount> kRows{{
    {.rotationPitchDeg = -9.0,
     .climbPitchDeg = -15.0,
     .groundTurnStepDeg = 0.15,
     .maxVerticalStep = 0.5,
     .standApproachSpeed = 5.0,
     .flareTicks = 250,
     .derotationTicks = 250,
     .rotationTicks = 100,
     .pitchTransitionTicks = 200,
     .maxBankDeg = 40.0,
     .maxBankChangeDeg = 0.035,
     .maxPitchChangeDeg = 0.01,
     .liftOffSpeed = 90.0},
    {.rotationPitchDeg = -8.0,
     .climbPitchDeg = -18.0,
     .groundTurnStepDeg = 0.10,
     .maxVerticalStep = 0.75,
     .standApproachSpeed = 4.5,
     .flareTicks = 300,
     .derotationTicks = 300,
     .rotationTicks = 200,
     .pitchTransitionTicks = 250,
     .maxBankDeg = 35.0,
     .maxBankChangeDeg = 0.0275,
     .maxPitchChangeDeg = 0.0085,
     .liftOffSpeed = 110.0},
    {.rotationPitchDeg = -6.0,
     .climbPitchDeg = -16.5,
     .groundTurnStepDeg = 0.07,
     .maxVerticalStep = 0.6,
     .standApproachSpeed = 4.0,
     .flareTicks = 400,
     .derotationTicks = 350,
     .rotationTicks = 200,
     .pitchTransitionTicks = 300,
     .maxBankDeg = 30.0,
     .maxBankChangeDeg = 0.02,
     .maxPitchChangeDeg = 0.0075,
     .liftOffSpeed = 140.0},
    {.rotationPitchDeg = -5.0,
     .climbPitchDeg = -12.5,
     .groundTurnStepDeg = 0.05,
     .maxVerticalStep = 0.5,
     .standApproachSpeed = 3.0,
     .flareTicks = 450,
     .derotationTicks = 450,
     .rotationTicks = 250,
     .pitchTransitionTicks = 400,
     .maxBankDeg = 20.0,
     .maxBankChangeDeg = 0.015,
     .maxPitchChangeDeg = 0.005,
     .liftOffSpeed = 150.0},
    {.rotationPitchDeg = -6.0,
     .climbPitchDeg = -20.0,
     .groundTurnStepDeg = 0.10,
     .maxVerticalStep = 1.0,
     .standApproachSpeed = 4.5,
     .flareTicks = 150,
     .derotationTicks = 150,
     .rotationTicks = 100,
     .pitchTransitionTicks = 200,
     .maxBankDeg = 90.0,
     .maxBankChangeDeg = 0.1,
     .maxPitchChangeDeg = 0.03,
     .liftOffSpeed = 220.0},
    {.rotationPitchDeg = -20.0,
     .climbPitchDeg = -30.0,
     .groundTurnStepDeg = 0.20,
     .maxVerticalStep = 0.75,
     .standApproachSpeed = 5.0,
     .flareTicks = 100,
     .derotationTicks = 100,
     .rotationTicks = 100,
     .pitchTransitionTicks = 100,
     .maxBankDeg = 75.0,
     .maxBankChangeDeg = 0.06,
     .maxPitchChangeDeg = 0.03,
     .liftOffSpeed = 0.0},
}};

}  // namespace

const CategoryMotion& categoryMotion(AircraftCategory category) {
    const auto index = static_cast<std::int64_t>(category);
    if (index < 0 || index >= kAircraftCategoryCount) throw std::out_of_range("invalid unordered_map<K, T> key");
    return kRows[static_cast<std::size_t>(index)];
}

double maxBank(AircraftCategory category) { return categoryMotion(category).maxBankDeg * kDegToRad; }

double maxBankChange(AircraftCategory category) { return categoryMotion(category).maxBankChangeDeg * kDegToRad; }

double maxPitchChange(AircraftCategory category) { return categoryMotion(category).maxPitchChangeDeg * kDegToRad; }

double liftOffSpeed(AircraftCategory category) { return categoryMotion(category).liftOffSpeed; }

double randomizedRotationPitch(AircraftCategory category) {
    return gf_randomizePercent(categoryMotion(category).rotationPitchDeg, 2.5) * kDegToRad;
}

double randomizedClimbPitch(AircraftCategory category) {
    return gf_randomizePercent(categoryMotion(category).climbPitchDeg, 5.0) * kDegToRad;
}

bool categoryShown(AircraftCategory category) {
    switch (category) {
        case AircraftCategory::Light: return LIGHT_AIRCRAFT.value();
        case AircraftCategory::HighPerf: return HIGH_PERF_AIRCRAFT.value();
        case AircraftCategory::Rotorcraft: return HELICOPTERS.value();
        default: return true;
    }
}

}  // namespace qvl
