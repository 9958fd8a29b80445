// The scan of the installed liveries, which writes the scanned-liveries file
// the catalogue is built from.
#pragma once

namespace qvl {

void gf_scanLiveries();

}  // namespace qvl
