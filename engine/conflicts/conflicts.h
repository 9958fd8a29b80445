// The rules that settle conflicts between aircraft: ghosts (one real
// aircraft reported under a provisional callsign and its own), two flights
// wanting one stand, neighbouring stands too close for two wingspans, and
// the limit on parked aircraft. Each rule removes the losing aircraft and
// writes one line to Log.txt.
#pragma once

#include <cstdint>
#include <string_view>

#include "airports/stand.h"
#include "engine/base/live_ac.h"

namespace qvl {

struct Engine;

// A callsign ending in "_" is provisional; its base is the text before the "_".
bool isProvisional(std::string_view callsign) noexcept;

// Removes the live aircraft (not being removed) whose callsign is the given
// one followed by "_", and keeps that callsign in the ghost list.
void lf_removeGhost(Engine& engine, std::string_view callsign);
// True when a live aircraft not being removed carries the base of the provisional callsign.
bool lf_isGhostCallsign(const Engine& engine, std::string_view provisional);

// Asked before an aircraft with this callsign is born on the stand: the
// parked or departing aircraft on it gives way (true), unless its samples
// still show it there under another callsign (false).
bool lf_solveCallsignClash(Engine& engine, std::uint32_t standNumber, std::string_view callsign);
// False when an aircraft parked or pushing back on the neighbour stand lies
// within the collision distance of the newcomer.
bool lf_neighbourAllows(Engine& engine, const LiveAc& newcomer, std::uint32_t neighbourNumber);
// The live aircraft parked or pushing back on the neighbour stand goes when
// it lies within the collision distance of the arriving aircraft's stand.
void lf_clearAdjacentLive(Engine& engine, std::uint32_t neighbourNumber, const LiveAc& arriving, const Stand& stand);
// The static aircraft on the stand goes, and those on its neighbours that a
// wingspan on the stand would touch.
void lf_makeWayAtStand(Engine& engine, const LiveAc& ac, const Stand& stand);
// With `extra` more parked aircraft on the way, the longest parked ones go
// while the limit (below 1: none) is exceeded: the live aircraft parked
// longest first, then the static aircraft parked earliest. Static parking
// sets the park airport's limit.
void checkParkLimit(Engine& engine, std::int32_t extra, std::int32_t limit);

}  // namespace qvl
