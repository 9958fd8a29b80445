// The simulator's answer to a facility-data request through the reader's
// dispatch handler. The input is a run of replies, each a 2-byte
// little-endian length and that many bytes; the reply's own header (size,
// version, id) is whatever those bytes say, so a header may claim more or
// less than the block holds. Each reply sits in a block of exactly its
// length, so any read past it shows. After the replies the stands are named
// as a read names them.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "airports/facility/facility_data_reader.h"
#include "support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qvl;
    using fuzz::expect;
    FacilityRequest request{.icao = "EDDF"};
    FacilityDispatchContext context{.request = &request};
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::size_t wanted = data[at] | (std::size_t{data[at + 1]} << 8);
        at += 2;
        const std::size_t length = std::min(wanted, size - at);
        const auto block = std::make_unique<std::byte[]>(length);
        if (length > 0) std::memcpy(block.get(), data + at, length);
        at += length;
        lf_facilityDispatch(reinterpret_cast<const sim::RecvHeader*>(block.get()), static_cast<std::uint32_t>(length),
                            &context);
    }
    std::int32_t helipads = -1;
    lf_nameFacilityStands(request, helipads);
    expect(helipads >= 0 && static_cast<std::size_t>(helipads) <= request.stands.size(), "helipads are stands");
    for (const Stand& stand : request.stands) {
        expect(!stand.id.empty(), "every stand is named");
        expect(std::isfinite(stand.latitude) && std::isfinite(stand.longitude) && std::isfinite(stand.heading),
               "a stand has a real place and heading");
        expect(std::isfinite(stand.radius) && stand.radius > 0.0, "a stand has a real size");
    }
    return 0;
}
