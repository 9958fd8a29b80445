// The motion class of an aircraft model: it indexes the AI traffic engine's
// per-category constants, so the numbers are fixed.
#pragma once

#include <cstdint>
#include <string_view>

namespace qvl {

enum class AircraftCategory : std::int32_t {
    Light = 0,
    Buzjets = 1,
    Large = 2,
    Heavy = 3,
    HighPerf = 4,
    Rotorcraft = 5,
};

inline constexpr int kAircraftCategoryCount = 6;

// "Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft"; "?" otherwise.
constexpr std::string_view gf_categoryName(AircraftCategory category) noexcept {
    switch (category) {
        case AircraftCategory::Light: return "Light";
        case AircraftCategory::Buzjets: return "Buzjets";
        case AircraftCategory::Large: return "Large";
        case AircraftCategory::Heavy: return "Heavy";
        case AircraftCategory::HighPerf: return "HighPerf";
        case AircraftCategory::Rotorcraft: return "Rotorcraft";
    }
    return "?";
}

}  // namespace qvl
