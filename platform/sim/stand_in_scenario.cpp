// The stand-in's scenario file: one "key = value" per line, "#" starts a
// comment line. Keys (numbers in the units of StandInConfig):
//   simulator = KittyHawk            version = 11.0.282174.999
//     (the name the simulator answers with: KittyHawk, the 2020 simulator,
//     or SunRise, the 2024 one; "MSFS 2020" and "MSFS 2024", as the
//     program's simulator choice names them, stage that simulator's name)
//   running = yes                    frame_rate = 30
//   zulu = <year> <day of year> <seconds of day>
//   ground_elevation = <feet>        first_ai_object_id = 100
//   object_limit = 1000              creation_frames = 3
//   static_cg = <feet>               static_pitch = <radians>
//   installed = <title>              refuse_title = <title>        (repeatable)
//   open_failures = <n>              unterminated_strings = no     facility_never_ends = no
//   ai_ground_contact = no           trace_positions = yes (no: the trace leaves out set data that moves objects)
//   user_object_id, user_title, user_atc_model, user_atc_id,
//   user_position = <lat> <lon>, user_altitude, user_heading (degrees),
//   user_speed (knots; 0 parks it), user_on_ground, user_lights (mask)
//   foreign = <lat> <lon> <altitude> <on ground> <atc id> [title]
//   airport = <icao> <lat> <lon> <altitude m> [name]
//   parking = <icao> <number> <type> <heading> <radius m> <bias x m> <bias z m>
//   helipad = <icao> <lat> <lon> <altitude m> <heading> <length> <width> <type>
// Parkings and helipads belong to an airport listed above them.
#include <fmt/format.h>

#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/sim/stand_in_world.h"

namespace qvl::sim {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    std::istringstream in{std::string(text)};
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

// The text after the first `count` words.
std::string restAfter(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count; ++i) {
        pos = text.find_first_not_of(" \t", pos);
        if (pos == std::string_view::npos) return {};
        pos = text.find_first_of(" \t", pos);
        if (pos == std::string_view::npos) return {};
    }
    return std::string(trimmed(text.substr(pos)));
}

template <class T>
bool number(std::string_view text, T& out) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    out = value;
    return true;
}

bool flag(std::string_view text, bool& out) {
    const std::string lower = lowerCopy(text);
    if (lower == "yes" || lower == "true" || lower == "1" || lower == "on") return out = true, true;
    if (lower == "no" || lower == "false" || lower == "0" || lower == "off") return out = false, true;
    return false;
}

// Numbers of a list of words, all or nothing.
template <class... T>
bool numbers(const std::vector<std::string>& w, std::size_t first, T&... out) {
    if (w.size() < first + sizeof...(T)) return false;
    std::size_t i = first;
    return (number(w[i++], out) && ...);
}

FacilityAirport* airportNamed(StandInConfig& config, std::string_view icao) {
    for (FacilityAirport& a : config.airports) {
        if (sameIcao(a.icao, icao)) return &a;
    }
    return nullptr;
}

bool applyUser(UserAircraftScript& u, std::string_view key, std::string_view value) {
    const auto w = words(value);
    if (key == "user_object_id") return number(value, u.objectId);
    if (key == "user_title") return u.title = std::string(value), true;
    if (key == "user_atc_model") return u.atcModel = std::string(value), true;
    if (key == "user_atc_id") return u.atcId = std::string(value), true;
    if (key == "user_position") return w.size() == 2 && numbers(w, 0, u.latitude, u.longitude);
    if (key == "user_altitude") return number(value, u.altitudeFt);
    if (key == "user_heading") return number(value, u.headingDeg);
    if (key == "user_speed") return number(value, u.groundSpeedKt) && u.groundSpeedKt >= 0.0;
    if (key == "user_on_ground") return flag(value, u.onGround);
    if (key == "user_lights") return number(value, u.lights);
    return false;
}

bool applyFacility(StandInConfig& c, std::string_view key, std::string_view value) {
    const auto w = words(value);
    if (key == "airport") {
        FacilityAirport a;
        if (w.empty() || !numbers(w, 1, a.latitude, a.longitude, a.altitudeMetres)) return false;
        a.icao = w[0];
        a.name = restAfter(value, 4);
        c.airports.push_back(std::move(a));
        return true;
    }
    FacilityAirport* airport = w.empty() ? nullptr : airportNamed(c, w[0]);
    if (airport == nullptr) return false;
    if (key == "parking") {
        FacilityParking p;
        if (w.size() != 7 || !numbers(w, 1, p.number, p.type, p.heading, p.radius, p.biasX, p.biasZ)) return false;
        airport->parkings.push_back(p);
        return true;
    }
    if (key == "helipad") {
        FacilityHelipad h;
        if (w.size() != 8 ||
            !numbers(w, 1, h.latitude, h.longitude, h.altitude, h.heading, h.length, h.width, h.type)) {
            return false;
        }
        airport->helipads.push_back(h);
        return true;
    }
    return false;
}

// A scenario may name the simulator as the program's choice does; any
// other text is the name itself, so that a run can meet a simulator it does
// not know.
std::string simulatorNameOf(std::string_view value) {
    if (value == "MSFS 2020") return "KittyHawk";
    if (value == "MSFS 2024") return "SunRise";
    return std::string(value);
}

bool applyVersion(StandInConfig& c, std::string_view value) {
    std::array<std::uint32_t, 4> v{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? value.find('.', start) : value.size();
        if (dot == std::string_view::npos || !number(value.substr(start, dot - start), v[i])) return false;
        start = dot + 1;
    }
    c.version = v;
    return true;
}

bool applyForeign(StandInConfig& c, std::string_view value) {
    const auto w = words(value);
    ForeignObject f;
    if (w.size() < 5 || !numbers(w, 0, f.latitude, f.longitude, f.altitudeFt) || !flag(w[3], f.onGround)) {
        return false;
    }
    f.atcId = w[4];
    if (const std::string title = restAfter(value, 5); !title.empty()) f.title = title;
    c.foreignObjects.push_back(std::move(f));
    return true;
}

bool applyLine(StandInConfig& c, std::string_view key, std::string_view value) {
    if (key.rfind("user_", 0) == 0) return applyUser(c.user, key, value);
    if (key == "airport" || key == "parking" || key == "helipad") return applyFacility(c, key, value);
    if (key == "simulator") return c.simulatorName = simulatorNameOf(value), true;
    if (key == "version") return applyVersion(c, value);
    if (key == "running") return flag(value, c.running);
    if (key == "frame_rate") return number(value, c.frameRate) && c.frameRate > 0.0;
    if (key == "zulu") {
        const auto w = words(value);
        return w.size() == 3 && numbers(w, 0, c.zuluYear, c.zuluDayOfYear, c.zuluSeconds);
    }
    if (key == "ground_elevation") return number(value, c.groundElevationFt);
    if (key == "first_ai_object_id") return number(value, c.firstAiObjectId);
    if (key == "object_limit") return number(value, c.objectLimit);
    if (key == "creation_frames") return number(value, c.creationFrames) && c.creationFrames >= 0;
    if (key == "static_cg") return number(value, c.staticCgToGroundFt);
    if (key == "static_pitch") return number(value, c.staticPitchRad);
    if (key == "ai_ground_contact") return flag(value, c.aiGroundContact);
    if (key == "trace_positions") return flag(value, c.tracePositions);
    if (key == "installed") return !value.empty() && (c.installedTitles.insert(std::string(value)), true);
    if (key == "refuse_title") return !value.empty() && (c.refusedTitles.insert(std::string(value)), true);
    if (key == "open_failures") return number(value, c.openFailures) && c.openFailures >= 0;
    if (key == "unterminated_strings") return flag(value, c.unterminatedStrings);
    if (key == "facility_never_ends") return flag(value, c.facilityNeverEnds);
    if (key == "foreign") return applyForeign(c, value);
    return false;
}

}  // namespace

bool StandInSimulator::readScenario(const std::filesystem::path& file, StandInConfig& config,
                                    std::vector<std::string>& problems) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
        const std::string_view text = trimmed(line);
        if (text.empty() || text.front() == '#') continue;
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) {
            problems.push_back(fmt::format("{}:{}: no '=' in \"{}\"", file.string(), lineNumber, text));
            continue;
        }
        const std::string key = lowerCopy(trimmed(text.substr(0, equals)));
        const std::string_view value = trimmed(text.substr(equals + 1));
        if (!applyLine(config, key, value)) {
            problems.push_back(fmt::format("{}:{}: bad line \"{}\"", file.string(), lineNumber, text));
        }
    }
    return !in.bad();
}

}  // namespace qvl::sim
