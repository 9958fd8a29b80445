// Without the scan the catalogue is built from the scanned-liveries file as
// it stands.
#include "core/not_built.h"
#include "liveries/livery_scan.h"

namespace qvl {

void LiveryScan::gf_scanLiveries() { notBuiltYet("the livery scan"); }

}  // namespace qvl
