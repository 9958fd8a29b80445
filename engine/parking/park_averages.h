// How many aircraft stand parked at the park airport and how long they have
// stood there on average, for the main window's parking figures. The figures
// are computed here and handed back; whoever shows them keeps what it
// showed and repaints when a mean changed.
#pragma once

#include <cstdint>

namespace qvl {

struct Engine;

struct ParkAverage {
    std::int32_t count = 0;
    // Mean parked time in hours: the half hours of the week clock counted
    // back from now, / 2 + 0.5; 0 with none parked.
    float meanHours = 0.0f;
};

// The static aircraft on their stands (active or being removed).
[[nodiscard]] ParkAverage staticParkAverage(const Engine& engine);
// The active parked live aircraft.
[[nodiscard]] ParkAverage liveParkAverage(const Engine& engine);

// Whether a newly computed mean is to be shown over the one shown (NaN while
// none has been shown).
[[nodiscard]] bool parkMeanChanged(float shownMeanHours, float meanHours) noexcept;

}  // namespace qvl
