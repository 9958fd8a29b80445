#include "engine/base/live_ac.h"

#include <array>
#include <cctype>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

#include "core/time_text.h"
#include "engine/base/motion_tables.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

constexpr std::array<std::string_view, 5> kSimStatusNames{"buffer", "adding2sim", "active", "liveryrespawn",
                                                          "removingfromsim"};
constexpr std::array<std::string_view, 8> kGroundPhaseNames{"pushing_back", "pushed_back", "taxi",   "take_off",
                                                            "flying",       "parking",     "parked", "birth"};

// "invalid unordered_map<K, T> key" is the program's own text for a value
// outside a name table (it names the map the tables once were): log lines and
// the motion tables' error say it word for word.
template <std::size_t N>
std::string_view nameOf(const std::array<std::string_view, N>& names, std::uint32_t value) {
    if (value >= N) throw std::out_of_range("invalid unordered_map<K, T> key");
    return names[value];
}

std::string_view codeOrBlank(const FixedCode3& code) { return code.view(); }

}  // namespace

std::string_view gf_simStatusName(SimStatus status) {
    return nameOf(kSimStatusNames, static_cast<std::uint32_t>(status));
}

std::string_view gf_groundPhaseName(GroundPhase phase) {
    return nameOf(kGroundPhaseNames, static_cast<std::uint32_t>(phase));
}

WeekTime WeekTime::fromPacked(std::uint64_t daySlot) noexcept {
    return WeekTime{.day = dayOf(daySlot), .slot = slotOf(daySlot)};
}

void LiveAc::setPhase(GroundPhase next) noexcept {
    if (next == phase) return;
    previousPhase = phase;
    phase = next;
}

LiveAc makeLiveAc(const TrafficSample& first, FlightRec flight, double reportTime) {
    LiveAc ac;
    ac.flight = std::move(flight);
    ac.lastSampleTime = reportTime;
    ac.samples.push_back(first);
    return ac;
}

std::string gf_routeText(const FixedCode3& origin, const FixedCode3& destination) {
    if (!origin.isSet() && !destination.isSet()) return std::string(8, ' ');
    return fmt::format("{:3}->{:3}", codeOrBlank(origin), codeOrBlank(destination));
}

std::string lf_paddedCallsign(const FlightRec& flight) { return fmt::format("{:8}", flight.callsign); }

std::string lf_flightText(const FlightRec& flight) {
    return fmt::format("{} {:12} {}", lf_paddedCallsign(flight), flight.registration,
                       gf_routeText(flight.origin, flight.destination));
}

std::string gf_flightLine(const FlightRec& flight) {
    return fmt::format("{} {}", gf_codeText(flight.key), lf_flightText(flight));
}

std::string gf_liveAcLine(const LiveAc& ac) { return gf_flightLine(ac.flight); }

std::string gf_flightLineShort(const FlightRec& flight) {
    return fmt::format("{} {} {}", lf_paddedCallsign(flight), flight.registration, gf_codeText(flight.key));
}

std::string gf_codeAndField(const FlightRec& flight) {
    return fmt::format("{} {}", gf_codeText(flight.key), flight.registration);
}

bool gf_isValidCallsign(const FlightRec& flight) {
    return !flight.callsign.empty() && flight.callsign != "@@@@@@@@" && flight.callsign.size() <= 8;
}

std::optional<std::string> gf_airlineFromCallsign(std::string_view callsign) {
    if (callsign.size() < 4) return std::nullopt;
    const auto isLetter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (!isLetter(callsign[0]) || !isLetter(callsign[1]) || !isLetter(callsign[2]) || !isDigit(callsign[3])) {
        return std::nullopt;
    }
    std::string airline(callsign.substr(0, 3));
    for (char& c : airline) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return airline;
}

FlightRec gf_buildFlightRec(const TrafficRecord& record) {
    FlightRec flight;
    flight.key = LiveryKey::fromPacked(record.ids);
    flight.origin = record.origin;
    flight.destination = record.destination;
    flight.callsign = record.callsign;
    flight.callsignCopy = record.text1;
    flight.callsignText = record.text2;
    flight.registration = record.registration;
    flight.halfSpan = gf_halfWingspan(flight.key.modelId);
    flight.category = gf_categoryOfModel(modelCodeOf(flight.key.modelId));
    const CategoryMotion& row = categoryMotion(flight.category);
    flight.flareTicks = row.flareTicks;
    flight.derotationTicks = row.derotationTicks;
    flight.rotationTicks = row.rotationTicks;
    flight.pitchTransitionTicks = row.pitchTransitionTicks;
    flight.rotationPitch = randomizedRotationPitch(flight.category);
    flight.climbPitch = randomizedClimbPitch(flight.category);
    flight.groundTurnStep = row.groundTurnStepDeg * kDegToRad;
    return flight;
}

}  // namespace qvl
