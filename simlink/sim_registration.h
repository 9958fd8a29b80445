// The declarations made to the simulator right after each successful open:
// system events, data definitions, client events, the notification group.
#pragma once

#include <cstdint>

#include "platform/sim/sim_api.h"

namespace qvl {

// Declares everything in its fixed order. The results of the single calls
// are not examined: a refused declaration shows up as an exception reply.
void lf_registerSimDefinitions(sim::SimConnection& connection) noexcept;

// Adds a client event to group 301 as maskable.
void lf_addToEventGroup(sim::SimConnection& connection, std::uint32_t event) noexcept;

}  // namespace qvl
