#include "simlink/sim_version.h"

#include "core/settings.h"

namespace qvl {

void gf_applySimChoice() { simIs2020.store(SIM_CHOICE.value() == kSimChoice2020); }

std::string_view gf_otherSimChoice() { return simIs2020.load() ? kSimChoice2024 : kSimChoice2020; }

}  // namespace qvl
