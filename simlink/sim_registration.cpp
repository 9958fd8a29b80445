#include "simlink/sim_registration.h"

#include <array>
#include <string_view>
#include <utility>

#include "simlink/sim_ids.h"

namespace qvl {
namespace {

using sim::DataType;

struct Member {
    SimDefinitionId definition;
    std::string_view datum;
    std::string_view unit;  // empty: the member has no unit
    DataType type;
};

// The order of the members fixes the byte layout of every data block.
constexpr std::array kMembers{
    Member{defUserTitle, "TITLE", "", DataType::stringV},
    Member{defUserModel, "ATC MODEL", "", DataType::string32},
    Member{defUserOnGround, "SIM ON GROUND", "Bool", DataType::int64},

    Member{defAiPosition, "Plane Latitude", "degree", DataType::float64},
    Member{defAiPosition, "Plane Longitude", "degree", DataType::float64},
    Member{defAiPosition, "Plane Pitch degrees", "radians", DataType::float64},
    Member{defAiPosition, "Plane Bank degrees", "radians", DataType::float64},
    Member{defAiPosition, "Plane Heading degrees true", "radians", DataType::float64},
    Member{defAiPosition, "Plane Altitude", "feet", DataType::float64},
    Member{defAiPosition, "Vertical Speed", "feet per second", DataType::float64},
    Member{defAiPosition, "Airspeed True", "knots", DataType::float64},

    Member{defUserBlock, "Plane Latitude", "degree", DataType::float64},
    Member{defUserBlock, "Plane Longitude", "degree", DataType::float64},
    Member{defUserBlock, "Plane Pitch degrees", "radians", DataType::float64},
    Member{defUserBlock, "Plane Bank degrees", "radians", DataType::float64},
    Member{defUserBlock, "Plane Heading degrees true", "radians", DataType::float64},
    Member{defUserBlock, "Plane Altitude", "feet", DataType::float64},
    Member{defUserBlock, "Plane Alt Above Ground", "feet", DataType::float64},
    Member{defUserBlock, "Ground Velocity", "knots", DataType::float64},
    Member{defUserBlock, "ZULU TIME", "Seconds", DataType::int64},
    Member{defUserBlock, "ZULU DAY OF YEAR", "Number", DataType::int64},
    Member{defUserBlock, "ZULU YEAR", "Number", DataType::int64},
    Member{defUserBlock, "LIGHT STATES", "Mask", DataType::int64},

    Member{defStaticValues, "Static CG to Ground", "feet", DataType::float64},
    Member{defStaticValues, "Static Pitch", "radians", DataType::float64},

    Member{defLightStates, "Light On States", "Mask", DataType::int64},

    Member{defAircraftInRange, "Plane Alt Above Ground", "feet", DataType::float64},
    Member{defAircraftInRange, "Ground Altitude", "feet", DataType::float64},
    Member{defAircraftInRange, "SIM ON GROUND", "Bool", DataType::int64},
    Member{defAircraftInRange, "ATC ID", "", DataType::string32},

    Member{defSpoilersThrottles, "SPOILERS HANDLE POSITION", "percent", DataType::float64},
    Member{defSpoilersThrottles, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", DataType::float64},
    Member{defSpoilersThrottles, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", DataType::float64},
};

constexpr std::array<std::pair<SimEventId, std::string_view>, 5> kSystemEvents{{
    {evSim, "Sim"},
    {evObjectAdded, "ObjectAdded"},
    {evObjectRemoved, "ObjectRemoved"},
    {evFlightLoaded, "FlightLoaded"},
    {evFrame, "Frame"},
}};

constexpr std::array<std::pair<SimEventId, std::string_view>, 17> kClientEvents{{
    {evGearSet, "GEAR_SET"},
    {evEngineAutoStart, "ENGINE_AUTO_START"},
    {evEngineAutoShutdown, "ENGINE_AUTO_SHUTDOWN"},
    {evThrottleSet, "THROTTLE_SET"},
    {evFlapsSet, "FLAPS_SET"},
    {evSpoilersSet, "SPOILERS_SET"},
    {evNavLightsSet, "NAV_LIGHTS_SET"},
    {evBeaconLightsSet, "BEACON_LIGHTS_SET"},
    {evLandingLightsSet, "LANDING_LIGHTS_SET"},
    {evTaxiLightsSet, "TAXI_LIGHTS_SET"},
    {evStrobesSet, "STROBES_SET"},
    {evLogoLightsSet, "LOGO_LIGHTS_SET"},
    {evCabinLightsSet, "CABIN_LIGHTS_SET"},
    {evAllLightsToggle, "ALL_LIGHTS_TOGGLE"},
    {evFreezeLatitudeLongitudeSet, "FREEZE_LATITUDE_LONGITUDE_SET"},
    {evFreezeAltitudeSet, "FREEZE_ALTITUDE_SET"},
    {evFreezeAttitudeSet, "FREEZE_ATTITUDE_SET"},
}};

// ENGINE_AUTO_START stays out of the group; it is still sent naming it.
constexpr std::array kGroupEvents{
    evNavLightsSet,      evBeaconLightsSet,
    evLandingLightsSet,  evTaxiLightsSet,
    evStrobesSet,        evLogoLightsSet,
    evCabinLightsSet,    evAllLightsToggle,
    evFlapsSet,          evSpoilersSet,
    evGearSet,           evEngineAutoShutdown,
    evThrottleSet,       evFreezeLatitudeLongitudeSet,
    evFreezeAltitudeSet, evFreezeAttitudeSet,
};

}  // namespace

void lf_addToEventGroup(sim::SimConnection& connection, std::uint32_t event) noexcept {
    try {
        (void)connection.addClientEventToNotificationGroup(kSimNotificationGroup, event, true);
    } catch (...) {
    }
}

void lf_registerSimDefinitions(sim::SimConnection& connection) noexcept {
    try {
        for (const auto& [id, name] : kSystemEvents) (void)connection.subscribeToSystemEvent(id, name);
        for (const Member& m : kMembers) {
            (void)connection.addToDataDefinition(m.definition, m.datum, m.unit, m.type, 0.0f, sim::kUnusedId);
        }
        for (const auto& [id, name] : kClientEvents) (void)connection.mapClientEventToSimEvent(id, name);
        for (SimEventId id : kGroupEvents) lf_addToEventGroup(connection, id);
        (void)connection.setNotificationGroupPriority(kSimNotificationGroup, sim::kGroupPriorityHighest);
    } catch (...) {
        // A declaration the simulator cannot take shows up later as an
        // exception reply; nothing here may stop the connection.
    }
}

}  // namespace qvl
