// The motion constants of each aircraft category. Some are copied into a
// flight's record when it is built (a few with a random spread), the others
// are looked up by the flying step on every sample. A category outside the
// six throws std::out_of_range ("invalid unordered_map<K, T> key"); the
// reference data never gives one.
#pragma once

#include <cstdint>

#include "refdata/aircraft_category.h"

namespace qvl {

// One category's row. Angles are given in degrees as the tables list them;
// the lookups below and the flight record keep radians.
struct CategoryMotion {
    double rotationPitchDeg;    // pitch at rotation (negative is nose up)
    double climbPitchDeg;       // pitch of the climb-out
    double groundTurnStepDeg;   // per tick
    double maxVerticalStep;     // feet per tick (x 6000 = ft/min)
    double standApproachSpeed;  // knots, last leg into a stand and pull-out
    std::uint32_t flareTicks;
    std::int32_t derotationTicks;
    std::uint32_t rotationTicks;
    std::uint32_t pitchTransitionTicks;
    double maxBankDeg;
    double maxBankChangeDeg;   // per tick
    double maxPitchChangeDeg;  // per tick, in flight
    double liftOffSpeed;       // knots; every later sample at least this fast
};

const CategoryMotion& categoryMotion(AircraftCategory category);

// The lookups of the flying step and the take-off check (radians, knots).
// Whether the settings let aircraft of the category be shown: light aircraft,
// fast military aircraft and rotorcraft each have a switch, the rest always.
bool categoryShown(AircraftCategory category);

double maxBank(AircraftCategory category);
double maxBankChange(AircraftCategory category);
double maxPitchChange(AircraftCategory category);
double liftOffSpeed(AircraftCategory category);

// The flight-record values with their spread: the table's pitch plus or
// minus exactly 2.5 (rotation) or 5 (climb) percent of itself, the sign
// drawn at random, in radians.
double randomizedRotationPitch(AircraftCategory category);
double randomizedClimbPitch(AircraftCategory category);

}  // namespace qvl
