// The user's own aircraft as the simulator link knows it: the record the
// simulator sends once a second (definition 403) and what the link keeps
// beside it. One snapshot, copied whole to whoever reads the user aircraft.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/geodesy.h"

namespace qvl {

struct UserAircraftBlock {
    // The record as received, in its order.
    double latitude = 0.0;           // degrees
    double longitude = 0.0;          // degrees
    double pitch = 0.0;              // radians
    double bank = 0.0;               // radians
    double heading = 0.0;            // radians true
    double altitude = 0.0;           // feet
    double aboveGround = 0.0;        // feet
    double groundSpeed = 0.0;        // knots
    std::int64_t zuluTime = 0;       // seconds of the UTC day
    std::int64_t zuluDayOfYear = 0;  // 1 = January 1st
    std::int64_t zuluYear = 0;
    std::int64_t lightStates = 0;

    // Nothing until the first on-ground reply that came with a position.
    std::optional<bool> onGround{};

    // The half wingspan of the user's model and its category.
    struct Wingspan {
        double halfSpan = 0.0;  // nm
        bool valid = false;
        std::uint32_t category = 0;
    };
    Wingspan wingspan{};

    // What the status panel shows.
    std::string title{};
    std::string stand{};
    bool modelLamp = false;

    // Within 0.0001 degree of 0,0: no record has arrived yet.
    [[nodiscard]] bool zeroPosition() const noexcept;
    [[nodiscard]] GeoPosition position() const noexcept { return {.latitude = latitude, .longitude = longitude}; }
};

// The record's size on the wire: eight doubles and four 64-bit integers.
inline constexpr std::size_t kUserBlockBytes = 96;

}  // namespace qvl
