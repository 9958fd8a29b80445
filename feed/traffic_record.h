// One accepted traffic line as the engine takes it from the traffic queue.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/fixed_code.h"

namespace qvl {

// One timed position of an aircraft.
struct TrafficSample {
    double latitude = 0.0;        // degrees
    double longitude = 0.0;       // degrees
    double altitude = 0.0;        // feet; 0 = on the ground
    double groundSpeed = 0.0;     // knots
    double track = 0.0;           // degrees
    double verticalSpeed = 0.0;   // as the line gives it
    double trueAirspeed = 0.0;    // knots
    std::uint32_t dueTick = 0;    // the tick at which the engine flies this sample
    std::uint8_t airborne = 0;    // altitude above 0
    std::uint8_t stationary = 0;  // always 0 from the feed; the engine sets it
    std::uint8_t trueHeadingUsed = 0;
    std::uint8_t rollValid = 0;
    std::uint8_t trueHeadingValid = 0;
    double roll = 0.0;         // radians, right wing down negative
    double trueHeading = 0.0;  // radians
};

struct TrafficRecord {
    // Bits 32..47 hold the model id of the aircraft type; the rest stays 0.
    std::uint64_t ids = 0;
    FixedCode3 origin;
    FixedCode3 destination;
    std::string callsign;
    std::string text1;  // left empty by the feed
    std::string text2;  // left empty by the feed
    std::string registration;
    TrafficSample sample;
    double time = 0.0;        // report time, seconds since 1970 UTC
    std::uint32_t hexId = 0;  // the 24-bit ICAO address

    [[nodiscard]] std::uint16_t modelId() const noexcept { return static_cast<std::uint16_t>(ids >> 32); }
};

inline constexpr std::uint64_t packModelId(std::uint16_t modelId) noexcept {
    return static_cast<std::uint64_t>(modelId) << 32;
}

}  // namespace qvl
