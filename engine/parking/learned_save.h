// The save of what was learned at the park airport, as its learned stand file.
#pragma once

namespace qvl {

struct Engine;

// Writes the park airport's learned file; logs the outcome.
void lf_saveAirportFile(Engine& engine);

}  // namespace qvl
