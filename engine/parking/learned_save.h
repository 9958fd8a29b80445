// The save of what was learned at the park airport, as its learned stand file.
#pragma once

namespace qvl {

struct Engine;

// Hands the save of the park airport's learned file, with what it holds now,
// to the learned files' writer; the save logs its outcome there.
void lf_saveAirportFile(Engine& engine);

}  // namespace qvl
