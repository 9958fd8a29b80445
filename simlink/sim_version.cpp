#include "simlink/sim_version.h"

#include "core/settings.h"

namespace qvl {

SimVersion chosenSimVersion() { return simVersionOfChoice(SIM_CHOICE.value()); }

}  // namespace qvl
