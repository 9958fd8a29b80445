// The configuration of one AI aircraft as client events: throttle, flaps,
// spoilers, gear, and the spoilers-and-throttles data block. Each queues its
// events for the simulator link's next frame and remembers what it sent in
// the aircraft's record, so that nothing is sent twice.
#pragma once

#include <cstdint>

#include "engine/base/live_ac.h"

namespace qvl {

struct Engine;

// Step 0..4 = 0, 4914, 8191, 11468, 16383. Nothing is sent when the step is
// the one sent last or is 5 or more; the step is remembered either way.
void gf_setThrottle(Engine& engine, AcRecord& ac, std::uint32_t step);
// Index 0..4 = 0, 3072, 10240, 16383, 0. Nothing for a Rotorcraft or for the
// index sent last; an index above 4 is logged and not sent. Remembered.
void gf_setFlaps(Engine& engine, AcRecord& ac, std::uint32_t index);
// 16383 when on, else 0; nothing for a Rotorcraft.
void gf_setSpoilers(Engine& engine, AcRecord& ac, bool on);
// 1 down, 0 up; nothing for a Rotorcraft.
void gf_setGear(Engine& engine, AcRecord& ac, bool down);

// The configuration of an aircraft standing on its stand: throttle 0, flaps
// 0, engines shut down, nav lights as NAV_LIGHTS_WHILE_PARKED, logo on, the
// cabin lit unless the stand's flag is set (with RANDOM, nine in ten).
void setParkedConfiguration(Engine& engine, AcRecord& ac);
// The nav lights of every active static parked aircraft and of every active
// live aircraft in phase "parked" switched on or off (NAV_LIGHTS_WHILE_PARKED
// changed).
void switchParkedNavLights(Engine& engine, bool on);

// The spoilers handle and both throttle levers in percent, written straight
// to the object (definition 401).
struct SpoilersThrottles {
    double spoilersPercent = 0.0;
    double throttle1Percent = 0.0;
    double throttle2Percent = 0.0;
};
// Writes the block when the object exists and the simulator link is not
// paused; a failed call goes to the link's one error reaction.
void writeSpoilersThrottles(Engine& engine, const AcRecord& ac, const SpoilersThrottles& values);

}  // namespace qvl
