// The airport list: every airport the program knows, with its ICAO code, a
// 3-character code, position, altitude and stand count. Read once per
// process from input/airports.enc on the run thread, before any other thread
// looks at it; read-only afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/fixed_code.h"
#include "core/geodesy.h"

namespace qvl {

struct AirportRec {
    FixedCode4 icao;
    // Letters and digits, upper case; "XXX" when the list gives none.
    std::array<char, 3> code3{'X', 'X', 'X'};
    double latitude = 0.0;   // degrees, north positive
    double longitude = 0.0;  // degrees, east positive
    float altitude = 0.0f;   // feet, as the list gives it
    std::int32_t standCount = 0;

    [[nodiscard]] std::string_view code3View() const noexcept { return {code3.data(), code3.size()}; }
};

// Sorted by ICAO code (byte-wise); empty until the first successful read.
const std::vector<AirportRec>& airportList();

// Reads the list on the first call of the process; later calls read nothing
// and give the same answer. True when the list holds at least one airport.
// A list that cannot be parsed, lacks <airports> or holds an invalid ICAO
// code throws qvl::UserErrorException 88 with the failure's text and leaves
// the list empty for a later try. The plain file is removed on every exit.
bool gf_readAirports();

bool gf_isKnownAirport(const FixedCode4& code);
// The position of the airport with the code; none when unknown.
std::optional<GeoPosition> airportPosition(const FixedCode4& code);

// The airport whose code is the first four characters of the text (folded
// to upper case); none for a shorter text or an unknown code.
std::optional<FixedCode4> gf_findAirportByCode(std::string_view text);

// The first airport, in code order, whose code framed by hyphens ("-EHAM-")
// occurs in the path (letters compared without case).
std::optional<FixedCode4> gf_findAirportInName(const std::filesystem::path& path);

// "EHAM (AMS)", or "EHAM" without a 3-character code, or "?" for an unset code.
std::string gf_airportLabel(const AirportRec& airport);

// Empties the list and clears the read-once mark. Tests and tools only.
void resetAirportList();

}  // namespace qvl
