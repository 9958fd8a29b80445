// The simulator's facility data as the add-on airport scan reads it: the
// stands and helipads of one airport.
#pragma once

#include <cstdint>
#include <string_view>

#include "airports/stand.h"

namespace qvl {

class FacilityParkingSource {
public:
    virtual ~FacilityParkingSource() = default;
    virtual bool readFacilityParking(std::string_view icao, ApfRecord& record, std::int32_t& helipads) = 0;
};

}  // namespace qvl
