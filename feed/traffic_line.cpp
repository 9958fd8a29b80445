#include "feed/traffic_line.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_set>

namespace qvl {
namespace {

bool isControl(char c) noexcept {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

}  // namespace

bool readTrafficNumber(std::string_view text, double& value) noexcept {
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (ec != std::errc{} || end == text.data() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool readUnsigned32(std::string_view text, std::uint32_t& value) noexcept {
    std::uint32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 10);
    if (ec != std::errc{} || end == text.data()) return false;
    value = v;
    return true;
}

bool lf_nonAircraftTypes(std::string_view typeCode) {
    if (typeCode.size() > 4) return true;
    // Built once, on first use; the initialisation of a function-local static is thread-safe.
    static const std::unordered_set<std::string_view> kNonAircraft{"BALL", "EMER", "GLID", "GRND", "GND",
                                                                   "PARA", "SERV", "SHIP", "VENT", "TWR"};
    return kNonAircraft.contains(typeCode);
}

bool gf_isAircraft(std::string_view typeCode, std::string_view emitterCategory) {
    if (typeCode.empty() || typeCode == "null") return false;
    if (emitterCategory == "B1" || emitterCategory == "B2" || emitterCategory == "B4" || emitterCategory == "C1" ||
        emitterCategory == "C2") {
        return false;
    }
    return !lf_nonAircraftTypes(typeCode);
}

std::string gf_formatLatLon(double latitude, double longitude) {
    return fmt::format("{:.6f},{:.6f}", latitude, longitude);
}

bool hasControlCharacter(std::string_view text) noexcept { return std::any_of(text.begin(), text.end(), isControl); }

std::string printable(std::string_view text) {
    std::string out(text);
    std::replace_if(out.begin(), out.end(), isControl, '?');
    return out;
}

}  // namespace qvl
