// Every path that ends an AI aircraft goes through removeAircraftFromSim,
// which knows what to do in each status; liveryRespawn removes an aircraft so
// that it is created again with another livery. Also here: the small helpers
// the main loop and the main window call (the farthest aircraft, the
// corridor ahead of the user, the callsign choices, ObjectIdList.txt).
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string_view>

#include "core/file_writer.h"
#include "engine/base/live_ac.h"
#include "simlink/sim_queues.h"

namespace qvl {

struct Engine;
struct EngineState;

// By status: in "buffer" the record is flagged to be erased at the end of
// the tick; in "adding2sim" a creation still queued is withdrawn (the record
// is then erased), one already under way is marked to be removed when
// created; otherwise the object goes on the removal queue and the record
// waits for the simulator's "removed" in "removingfromsim". Works for live
// and static aircraft.
void removeAircraftFromSim(Engine& engine, AcRecord& ac);

// Removes the object so that it is created again, starting from where it is
// now; the record waits in "liveryrespawn".
void liveryRespawn(Engine& engine, LiveAc& ac);

// Withdraws every queued creation with that callsign, keeping the others in
// order; true when any was withdrawn. An empty callsign withdraws nothing.
bool gf_dropQueuedCallsign(std::deque<CreateAircraftCommand>& queue, std::string_view callsign);

// The corridors behind an aircraft along its heading in which the user must
// not sit: index 0 (4 nm, 1000 ft, 700 ft aside) and 1 (6 nm, 3000 ft, 4000 ft).
enum class UserCorridor : std::uint8_t { close = 0, wide = 1 };
// Removes the aircraft and returns true when the user sits in the corridor.
bool gf_removeIfAheadOfUser(Engine& engine, LiveAc& ac, UserCorridor corridor);

// Removes the active live aircraft farthest from the user: beyond limit +
// 0.1 nm, each later one farther by more than 0.1 nm than the best so far; a
// negative limit takes any distance. True when none was removed.
bool gf_removeFarthestLiveAc(Engine& engine, double limitNm);

// The callsign choice of the main window: emptied, or filled with the
// callsigns of active live aircraft that are not parked (true when not empty).
void gf_resetCallsignChoices(Engine& engine);
bool gf_fillCallsignChoices(Engine& engine);

// One line per active live aircraft into ObjectIdList.txt (or the given
// file): object id, callsign, registration, airline, model, GND/AIR, PARKED.
// The list is handed to the writer, which replaces the file whole; while an
// earlier list still waits there, the new one is left out (the next one
// comes a second later). A failed earlier write is logged here.
void gf_writeObjectIdList(const Engine& engine, FileWriter& writer);
void gf_writeObjectIdList(const Engine& engine, FileWriter& writer, const std::filesystem::path& file);

// Takes the record out of the live list; the last record moves into its place.
void eraseLiveAc(EngineState& state, const LiveAc& ac);

}  // namespace qvl
