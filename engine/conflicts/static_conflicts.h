// Where live aircraft meet static parked ones, and how long live aircraft
// have been parked: a static aircraft that stands for a flight now flying
// live, one in the path of a taxiing aircraft or on the stand the user
// keeps free goes; and the parked live aircraft are listed, longest parked
// first, for the park limit and the static parking.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/live_ac.h"
#include "engine/base/parking_state.h"

namespace qvl {

struct Engine;

// Removes the first active static aircraft that stands for the live one:
// its registration (when the live one has one), or a callsign part equal to
// the live callsign or its base.
void gf_removeStaticTwins(Engine& engine, const LiveAc& ac);

// Going through the active live aircraft on the ground, removes the first
// active static aircraft with the registration of one of them (when it has
// one) or its callsign followed by "*". At most one goes per call.
void gf_removeStaticDuplicates(Engine& engine);

// For each active live aircraft taxiing or parking on the ground that moved
// since the last call: the first active static aircraft of another flight
// whose stand lies within the collision distance of it goes.
void gf_clearStaticInTaxiPaths(Engine& engine);
// The check for one aircraft; nothing while it is departing or has just landed.
void lf_clearStaticInPath(Engine& engine, LiveAc& ac);

// The static aircraft on the named stand goes, or when there is none, the
// parked live aircraft on it.
void gf_clearReservedStand(Engine& engine, std::string_view standName);

// Every static aircraft goes: active ones are removed, queued creations
// withdrawn (or marked to go once created) and their records erased.
void gf_flushStaticAc(Engine& engine);

// The active parked live aircraft, longest parked first. One parked longer
// than 90 minutes (180 for Heavy) that no sample shows at its stand is
// removed instead, unless INITIAL_LOAD_ONLY is on.
std::vector<ParkedLive> lf_listParkedLive(Engine& engine);

struct ParkedSeconds {
    std::uint32_t hexId = 0;
    std::int64_t seconds = 0;
};
// The active parked live aircraft by their time on the stand (steady
// clock), longest first.
std::vector<ParkedSeconds> lf_listParkedSeconds(const Engine& engine);

// Removes the n live aircraft parked longest.
void lf_removeParkedLive(Engine& engine, std::int32_t n);

}  // namespace qvl
