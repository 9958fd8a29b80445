// The ICAO model codes of the simulators' own aircraft, by the name of the
// aircraft's container folder. Liveries built on a simulator aircraft name
// it in base_container instead of giving a type designator; this table lets
// the livery scan still file them under a model. Fixed in the program.
#pragma once

#include <optional>
#include <string_view>
#include <unordered_map>

#include "refdata/fnv_hash.h"

namespace qvl {

using DefaultSimAircraftMap = std::unordered_map<std::string_view, std::string_view, Fnv1aHash>;

// The whole table; built on first use, read-only afterwards.
const DefaultSimAircraftMap& defaultSimAircraft();

// The model code of a container name (exact, case-sensitive); none when the
// name is not in the table.
std::optional<std::string_view> defaultSimAircraftModel(std::string_view containerName);

}  // namespace qvl
