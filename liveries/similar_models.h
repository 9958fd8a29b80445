// Similar models that have liveries installed, and the registration prefix
// groups, as the livery matcher asks for them.
//
// The reference database groups models it calls similar and registration
// prefixes that belong together. Trying a similar model only helps when a
// livery of it is installed, so once the catalogue is built the groups are
// narrowed to installed liveries: by model, and by airline and model.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "liveries/livery_tables.h"

namespace qvl {

// Fills tables.similar.byModel and tables.similar.byAirline from the
// database's similar groups and the built catalogue (the model tables and
// the airline-model map), then logs "{:5} similar model definitions". Keys
// already present keep their lists.
void gf_readSimilarTypes(LiveryTables& tables);

// The other members of the prefix's group, shuffled in place first while
// RANDOM is on; an empty list when the prefix is in no group. The list is
// the stored one: read it before the next call.
const std::vector<std::string>& gf_prefixGroup(LiveryTables& tables, std::string_view prefix);

}  // namespace qvl
