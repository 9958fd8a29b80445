// The bytes of a BGL file, read into airports: from memory, with no link
// and no file written. Whatever the bytes, the reading ends, the section
// pre-check lets through every file the reading finds airports in, and every stand it keeps can be placed:
// finite heading and radius, a radius above 0, a position on the globe, and
// ids unique within their airport.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "airports/bgl/bgl_airports.h"
#include "core/fixed_code.h"
#include "support/fuzz_support.h"

namespace {

using namespace qvl;
using fuzz::expect;

// Every fourth code is known, so that both the kept airports and the
// "not supported" lines are reached.
bool isKnown(const FixedCode4& code) { return code.word() % 4 != 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::vector<std::uint32_t> words = bglWordsFromBytes(bytes);
    const BglAirports found = readBglAirports(words, {.isKnownAirport = isKnown, .bglPathText = "fuzz.bgl"});

    std::istringstream in(std::string(fuzz::bytesOf(data, size)));
    const bool listed = hasAirportSection(in);
    // Where the file ends inside the section table the two may differ: the
    // reading pads the last word, the pre-check wants whole entries.
    if (size % 4 == 0) {
        expect(listed || found.airports.empty(), "airports read from a file whose table names no airport section");
    }

    for (const BglAirport& airport : found.airports) {
        expect(isKnown(airport.record.icao), "an airport outside the list was kept");
        std::set<std::string> ids;
        std::int32_t helipads = 0;
        for (const Stand& stand : airport.record.stands) {
            expect(std::isfinite(stand.heading) && std::isfinite(stand.radius) && stand.radius > 0.0,
                   "a stand with a heading or radius that cannot be placed");
            expect(stand.latitude >= -90.0 && stand.latitude <= 90.0 && stand.longitude >= -180.0 &&
                       stand.longitude <= 180.0,
                   "a stand off the globe");
            expect(ids.insert(stand.id).second, "two stands of an airport share an id");
            if (stand.heli) ++helipads;
        }
        expect(helipads == airport.helipads, "the helipad count differs from the helipad stands");
    }
    return 0;
}
