// Reading the fields of a traffic line: numbers, the aircraft test and the
// position text used in error lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvl {

// The leading characters of the text as a finite number (decimal, general
// form); the rest is ignored. False for no number, "nan", "inf" or a value
// beyond the range of a double.
bool readTrafficNumber(std::string_view text, double& value) noexcept;
// The leading decimal digits as an unsigned 32-bit number; false without a
// digit at the start or beyond 4294967295.
bool readUnsigned32(std::string_view text, std::uint32_t& value) noexcept;

// The type codes of things that are not aircraft (balloons, ground vehicles, towers...).
bool lf_nonAircraftTypes(std::string_view typeCode);
// False for an empty or "null" type, for the emitter categories of balloons,
// gliders, parachutes, ground vehicles and obstacles, and for non-aircraft types.
bool gf_isAircraft(std::string_view typeCode, std::string_view emitterCategory);

// "52.308600,4.763900".
std::string gf_formatLatLon(double latitude, double longitude);

// True when the text holds a control character (below 0x20, or 0x7F).
bool hasControlCharacter(std::string_view text) noexcept;
// The text with control characters shown as '?', for log lines.
std::string printable(std::string_view text);

}  // namespace qvl
