// Livery matching: the installed livery that best fits a live or a static
// parked aircraft, found by fixed steps over the catalogue and the
// registration-code tables. MATCHING_DEPTH limits how far down the steps a
// match may go; RANDOM decides whether equal candidates are drawn at random
// or the first is taken. A title the simulator refused is never chosen.
//
// Everything here runs on the run thread inside the engine's tick: the
// lookups work on prebuilt tables and title views, and a title is copied
// only for a log line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/dont_use_title_set.h"
#include "liveries/livery_data.h"
#include "liveries/livery_tables.h"
#include "refdata/aircraft_category.h"

namespace qvl {

// The step that produced a match; its number is written between '=' marks
// in the log lines and counts the live matches.
enum class MatchStep : std::uint8_t {
    specialRegistration = 0,  // registration code, registration marked special
    registration = 1,         // registration code
    airlineModel = 2,         // airline and model of the flight
    similarModel = 3,         // similar model of the same category
    fictionalAirline = 4,     // the fictional airline, for a private flight or as first fallback
    anyAirline = 5,           // any airline, same model
    anyAirlineOtherModel = 6  // any airline, similar model or a random model of the category
};
inline constexpr std::size_t kMatchStepCount = 7;

// Live matches per step, for the summary. Kept for the whole process: a
// restart inside it goes on counting.
struct LiveryMatchCounters {
    std::array<std::int32_t, kMatchStepCount> steps{};

    [[nodiscard]] std::int32_t at(MatchStep step) const noexcept { return steps[static_cast<std::size_t>(step)]; }
    void reset() noexcept { steps.fill(0); }
};

// What the matchers read and set of a flight. The owner of the flight
// record copies these in and the title and FSLTL flag back out.
struct MatchFlight {
    LiveryKey key{};
    std::string_view registration{};  // may be empty
    AircraftCategory category = AircraftCategory::Large;
    // A view into the catalogue's titles; empty = none.
    std::string_view title{};
    // Set with every accepted live match: the title is an FSLTL livery.
    bool fsltl = false;
    // The flight's texts for Log.txt (code text and flight text; the short
    // form with callsign and registration), built only when a line is
    // written.
    std::function<std::string()> line{};
    std::function<std::string()> shortLine{};
};

// The stand a static aircraft is placed on, as the static matcher reads it.
struct MatchStand {
    std::string_view id{};
    bool cargo = false;
};

// What the matchers work on. The tables are not const: the similar-model
// and prefix lists are reshuffled in place while RANDOM is on.
struct LiveryMatcher {
    LiveryTables& tables;
    const DontUseTitleSet& dontUseTitles;
    LiveryMatchCounters& counters;
};

// Sets the flight's title and FSLTL flag from the first accepted step, each
// counted and logged; leaves the title empty when nothing matches. Called
// with an empty title.
void gf_matchLiveAcLivery(const LiveryMatcher& matcher, MatchFlight& flight);

// A static aircraft that arrives with a title keeps it. Otherwise the steps
// of the live matcher, with the stand's cargo flag for the private rule and
// the fictional fallback; nothing is counted. False, with the no-match line
// logged, when nothing matches.
bool gf_matchStaticAcLivery(const LiveryMatcher& matcher, MatchFlight& flight, const MatchStand& stand);

// The step counters and the aircraft that could not be created, as one
// block in Log.txt; nothing while every counter is 0.
void gf_logLiveryMatchSummary(const LiveryMatchCounters& counters, const std::vector<std::string>& uncreatable);

}  // namespace qvl
