// The window's callsign requests over the live aircraft: the one the user
// follows, and the one the user blocks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qvl {

struct Engine;
struct EngineState;

// The object id of the first active live aircraft with the callsign; none
// when no active one has it.
[[nodiscard]] std::optional<std::uint32_t> activeObjectIdOf(const EngineState& state, const std::string& callsign);
// The first active live aircraft with the callsign leaves the simulator.
void removeActiveCallsign(Engine& engine, const std::string& callsign);

}  // namespace qvl
