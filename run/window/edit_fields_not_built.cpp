// Without the edit fields Enter changes nothing and a stored destination is
// not set.
#include "core/not_built.h"
#include "run/window/edit_fields.h"

namespace qvl {

void lf_editSubclassProc(std::uint16_t /*controlId*/) { notBuiltYet("the edit fields"); }

void lf_setDestination(const std::string& /*text*/, const GeoPosition& /*position*/) { notBuiltYet("the edit fields"); }

}  // namespace qvl
