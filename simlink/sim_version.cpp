#include "simlink/sim_version.h"

#include "core/settings.h"

namespace qvl {

void applySimChoice() { simIs2020.store(SIM_CHOICE.value() == kSimChoice2020); }

std::string_view otherSimChoice() { return simIs2020.load() ? kSimChoice2024 : kSimChoice2020; }

}  // namespace qvl
