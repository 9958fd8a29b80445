// The fixed numbers of every conversation with the simulator: data
// definitions 401-409, requests 101-110, events 201-222 and notification
// group 301. They appear nowhere in configuration.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvl {

enum SimDefinitionId : std::uint32_t {
    defSpoilersThrottles = 401,  // spoilers and two throttles of one AI aircraft
    defAiPosition = 402,         // the 64-byte block of a PositionCommand
    defUserBlock = 403,          // the user record of UserAircraftBlock (96 bytes)
    defAircraftInRange = 404,    // asked by type: height, ground altitude, on ground, ATC ID
    defStaticValues = 405,       // static CG to ground and static pitch of a new AI aircraft
    defLightStates = 406,        // registered, never requested
    defUserTitle = 407,
    defUserModel = 408,
    defUserOnGround = 409,
};

enum SimRequestId : std::uint32_t {
    reqAircraftInRange = 101,
    reqStaticValues = 102,
    reqReleaseControl = 103,
    reqCreateAircraft = 104,
    reqRemoveObject = 105,
    reqUserTitle = 106,
    reqUserModel = 107,
    reqUserOnGround = 108,
    reqUserBlock = 109,
    reqFlightPlan = 110,
};

enum SimEventId : std::uint32_t {
    // System events.
    evSim = 201,
    evObjectAdded = 202,
    evObjectRemoved = 203,
    evFrame = 204,
    evFlightLoaded = 205,
    // Client events.
    evBeaconLightsSet = 206,
    evNavLightsSet = 207,
    evTaxiLightsSet = 208,
    evStrobesSet = 209,
    evLandingLightsSet = 210,
    evCabinLightsSet = 211,
    evLogoLightsSet = 212,
    evAllLightsToggle = 213,
    evFreezeLatitudeLongitudeSet = 214,
    evFreezeAltitudeSet = 215,
    evFreezeAttitudeSet = 216,
    evFlapsSet = 217,
    evSpoilersSet = 218,
    evGearSet = 219,
    evEngineAutoStart = 220,
    evEngineAutoShutdown = 221,
    evThrottleSet = 222,
};

inline constexpr std::uint32_t kSimNotificationGroup = 301;

// Block sizes of the definitions, as their members lay them out.
inline constexpr std::size_t kAiPositionBlockSize = 64;
inline constexpr std::size_t kUserBlockSize = 96;
inline constexpr std::size_t kAircraftInRangeBlockSize = 56;
inline constexpr std::size_t kStaticValuesBlockSize = 16;
inline constexpr std::size_t kUserOnGroundBlockSize = 8;
inline constexpr std::size_t kUserModelBlockSize = 32;

}  // namespace qvl
