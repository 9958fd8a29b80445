// The simulator chosen for the run: true for "MSFS 2020", false for
// "MSFS 2024". Derived from SIM_CHOICE when a run starts; every part of the
// program that depends on the simulator reads it.
#pragma once

#include <atomic>
#include <string_view>

namespace qvl {

inline constexpr std::string_view kSimChoice2020 = "MSFS 2020";
inline constexpr std::string_view kSimChoice2024 = "MSFS 2024";

inline std::atomic<bool> simIs2020{true};

// simIs2020 := SIM_CHOICE is "MSFS 2020".
void applySimChoice();
// The choice that is not the current run's.
std::string_view otherSimChoice();

}  // namespace qvl
