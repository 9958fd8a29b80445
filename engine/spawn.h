// Spawning: an aircraft in "buffer" is offered to the simulator once its
// first sample falls due, and an aircraft whose identity changes may be
// created again with another livery.
#pragma once

#include <cstdint>
#include <optional>

#include "airports/stand.h"
#include "engine/base/live_ac.h"

namespace qvl {

struct Engine;

// The buffer step of an aircraft in "buffer", run by its per-tick update:
// drops what may not be created, waits while it must, else spawns.
void lf_addLiveAcToSim(Engine& engine, LiveAc& ac);

// True when the aircraft waits this tick to keep clear of the user aircraft
// (its front sample has been skipped).
bool lf_holdBuffered(Engine& engine, LiveAc& ac);

// Chooses the livery and the start (airborne, on a stand, taxiing), sets the
// start position and puts the aircraft into "adding2sim".
void spawnLiveAc(Engine& engine, LiveAc& ac);

// The stand of the park airport an aircraft starting on the ground is born
// on; nullptr (and the aircraft dropped when a stand rule refused it).
const Stand* lf_findBirthStand(Engine& engine, LiveAc& ac);

// The position block from the front sample.
void lf_setStartPosition(Engine& engine, LiveAc& ac);

// Decides on a re-creation when a record arrives for the aircraft; false
// when the record is not to be taken because the aircraft is being created
// again.
bool lf_respawnLiveAc(Engine& engine, LiveAc& ac, const TrafficRecord& record);

// The next creation matches a livery again.
void lf_forgetLivery(Engine& engine, LiveAc& ac);

// The aircraft's creation has gone to the simulator link now.
void noteCreationHanded(Engine& engine, std::uint32_t hexId);
// Flags the aircraft for erasing when the simulator has not reported its
// creation within 3000 ticks of being handed over.
void dropIfNeverReported(Engine& engine, LiveAc& ac);

}  // namespace qvl
