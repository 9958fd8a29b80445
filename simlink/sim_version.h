// The simulator chosen for a run, "MSFS 2020" or "MSFS 2024". It is derived
// from SIM_CHOICE when a run starts, and again when the choice is switched,
// and kept in the link's state (SimLinkState::simVersion); every part that
// depends on the simulator reads it from there or is handed it.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/settings.h"

namespace qvl {

enum class SimVersion : std::uint8_t { msfs2020, msfs2024 };

// "MSFS 2020" or "MSFS 2024", as SIM_CHOICE and the connection text name it.
constexpr std::string_view simChoiceName(SimVersion version) noexcept {
    return version == SimVersion::msfs2020 ? kSimChoice2020 : kSimChoice2024;
}

constexpr SimVersion otherSimVersion(SimVersion version) noexcept {
    return version == SimVersion::msfs2020 ? SimVersion::msfs2024 : SimVersion::msfs2020;
}

// The simulator a choice names: MSFS 2020 only for "MSFS 2020".
constexpr SimVersion simVersionOfChoice(std::string_view choice) noexcept {
    return choice == kSimChoice2020 ? SimVersion::msfs2020 : SimVersion::msfs2024;
}

// The simulator SIM_CHOICE names now.
SimVersion chosenSimVersion();

}  // namespace qvl
