// Half-hour slot texts of the stand files ("8:11" or "3,4,17").
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/half_hour_slots.h"
#include "support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qvl;
    using fuzz::expect;
    const HalfHourSlots slots = gf_hours2bitset(fuzz::bytesOf(data, size));
    // Both forms the program writes read back to the same slots.
    const std::optional<std::string> list = gf_bitsetToList(slots);
    expect(list.has_value() == slots.any(), "only the empty set has no list");
    if (list) expect(gf_hours2bitset(*list) == slots, "a written list reads back to its slots");
    if (const std::optional<std::string> range = gf_bitsetToRange(slots)) {
        expect(gf_hours2bitset(*range) == slots, "a written range reads back to its slots");
    }
    return 0;
}
