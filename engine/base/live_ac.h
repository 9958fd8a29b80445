// The AI traffic engine's records of aircraft: the identity of a flight
// (FlightRec), the part that every aircraft the engine puts into the
// simulator shares (AcRecord: identity, object id, stand, status, sent
// configuration, erase flags), the static parked aircraft (StaticAc) and the
// live aircraft (LiveAc) with its queue of timed traffic samples, the
// position it sends and the motion state that generates that position.
//
// Units inside the engine: angles in radians (a negative pitch is nose up,
// headings true in [0, 2 pi)), altitudes in feet, vertical speed in feet per
// minute (feet per second in the sent position), speeds in knots, distances
// in nautical miles, durations in 10 ms ticks.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/geodesy.h"
#include "feed/traffic_record.h"
#include "liveries/livery_data.h"
#include "refdata/aircraft_category.h"

namespace qvl {

// Where an aircraft stands with the simulator.
enum class SimStatus : std::uint32_t {
    buffer = 0,           // samples are collected; no simulator object yet
    adding2sim = 1,       // the creation is queued or under way
    active = 2,           // the simulator object exists and is moved every tick
    liveryrespawn = 3,    // removed so that it is created again with another livery
    removingfromsim = 4,  // removal queued; the record goes when the simulator confirms
};

enum class GroundPhase : std::uint32_t {
    pushing_back = 0,
    pushed_back = 1,
    taxi = 2,
    take_off = 3,
    flying = 4,
    parking = 5,
    parked = 6,
    birth = 7,
};

// "buffer", "adding2sim", ...; a value outside the table throws std::out_of_range.
std::string_view gf_simStatusName(SimStatus status);
// "pushing_back", ..., "birth"; a value outside the table throws std::out_of_range.
std::string_view gf_groundPhaseName(GroundPhase phase);

// The day of the week (1..7, Monday 1) and half-hour slot (0..47).
struct WeekTime {
    std::uint32_t day = 0;
    std::uint32_t slot = 0;

    static WeekTime fromPacked(std::uint64_t daySlot) noexcept;
    friend bool operator==(const WeekTime&, const WeekTime&) = default;
};

// The identity of a flight and the per-category constants copied into it
// when it is built (see motion_tables.h).
struct FlightRec {
    LiveryKey key;
    FixedCode3 origin;
    FixedCode3 destination;
    // Set once the once-a-second check has looked the flight up among the
    // park airport's learned flights; cleared when a live aircraft is created.
    bool learnedStandChecked = false;
    // A trailing "_" marks a callsign the feed made up from the registration;
    // static parked aircraft's callsigns end in "*".
    std::string callsign;
    // A live aircraft: a copy of the callsign, renewed whenever it is set.
    // A static one: the first callsign part of its learned flight.
    std::string callsignCopy;
    // A live aircraft: cleared on creation and on a new callsign.
    // A static one: the second callsign part of its learned flight.
    std::string callsignText;
    std::string registration;
    double halfSpan = 0.0;            // nm
    double staticCgHeight = 0.0;      // feet above ground; 0 until the simulator reports it
    double staticPitch = 0.0;         // radians; 0 until reported
    double rotationPitch = 0.0;       // radians (negative is nose up)
    double climbPitch = 0.0;          // radians
    double groundTurnStep = 0.0;      // radians per tick
    double turnStep = 0.0;            // radians per tick; starts as groundTurnStep
    double maxVerticalStep = 0.0;     // feet per tick
    double standApproachSpeed = 0.0;  // knots
    // The 24-bit ICAO address of a live aircraft (always above 10000); static
    // parked aircraft count below 10000, so the id alone tells the two apart.
    std::uint32_t hexId = 0;
    AircraftCategory category = AircraftCategory::Large;
    // A view of the chosen title in the livery catalogue; empty until chosen.
    std::string_view liveryTitle;
    std::uint32_t flareTicks = 0;
    std::int32_t derotationTicks = 0;
    std::uint32_t rotationTicks = 0;
    std::uint32_t pitchTransitionTicks = 0;
    // The chosen title is an FSLTL livery (its throttles run the other way).
    bool fsltlLivery = false;
};

// Where an aircraft stands or parks, and its heading there (radians).
struct StandPlace {
    GeoPosition position;
    double heading = 0.0;
};

// Hex ids of static parked aircraft stay at or below this; live ones are above.
inline constexpr std::uint32_t kMaxStaticHexId = 10000;

// What every aircraft that the engine puts into the simulator has, live or
// static, so that one removal and one creation path serve both.
struct AcRecord {
    FlightRec flight;
    std::uint32_t objectId = 0;     // the simulator's; 0 until it reports the object
    StandPlace stand;               // the stand it was born on or parks at
    WeekTime parkedSince;           // when it was placed on its stand
    std::uint32_t standNumber = 0;  // 0 = none
    SimStatus status = SimStatus::buffer;
    std::uint32_t throttleStep = 5;  // 0..4 as last sent; 5 = none sent yet
    std::uint32_t flapsIndex = 4;    // 0..4 as last sent; starts at 4
    std::uint8_t standFlag = 0;      // copied from the stand
    bool removeWhenCreated = false;  // remove the object as soon as it is reported
    bool eraseNow = false;           // removed while still in "buffer"
    bool eraseDropped = false;       // its queued creation was withdrawn

    [[nodiscard]] bool isLive() const noexcept { return flight.hexId > kMaxStaticHexId; }
    [[nodiscard]] bool flaggedForErase() const noexcept { return eraseNow || eraseDropped; }
};

// A static parked aircraft: it stands on its stand and never moves.
struct StaticAc : AcRecord {};

// How a live aircraft moves from its front sample to the next: the steps
// taken every tick, the planned ground path, and the state of the phases
// (push-back, take-off, flare, parking) that shape those steps.
struct MotionState {
    double latStep = 0.0;           // degrees per tick
    double lonStep = 0.0;           // degrees per tick
    double pitchStep = 0.0;         // radians per tick
    double bankStep = 0.0;          // radians per tick
    double headingStep = 0.0;       // radians per tick
    double altitudeStep = 0.0;      // feet per tick
    double verticalSpeedFpm = 0.0;  // of the target sample
    double tas = 0.0;               // knots, of the target sample
    // A planned ground path; its control values are NaN while none is set.
    CurveRecord curve{.controlEast = std::numeric_limits<double>::quiet_NaN(),
                      .controlNorth = std::numeric_limits<double>::quiet_NaN()};
    double curveProgress = 0.0;
    double curveStep = 0.0;
    double curveAngle = 0.0;             // degrees of the turn the curve makes
    double headingDifference = 0.0;      // degrees between the heading and the bearing to the next sample
    double bearingToNext = 0.0;          // radians, front sample to the next
    std::int32_t earlyLimit = 1000;      // ticks a due tick may be moved earlier
    std::int32_t lateLimit = 1000;       // ticks a due tick may be moved later
    std::int32_t rotationCountdown = 1;  // ticks; floor -1000
    std::int32_t pushCountdown = 0;
    double heightAboveGround = 2500.0;    // feet; from the simulator
    double touchdownHeading = 0.0;        // radians
    double groundHeading = 0.0;           // radians; the heading it started with on the ground
    std::optional<double> forcedHeading;  // radians
    std::uint32_t flareStage = 0;         // 0..4
    // The park airport's elevation as the flare last took it.
    std::optional<double> elevationCache;
    double heightAboveAirport = 0.0;
    // The stand rules of the sample checks: distance reference (set by the
    // first sample at the stand), largest distance so far and moves counted since.
    std::optional<double> standDistanceRef;
    double standDistanceMax = 0.0;
    std::uint32_t standMoveCount = 0;
    double holdDistance = 0.0;  // largest distance seen while pushed back
    std::int32_t pushTurn = 0;  // push-back turn: -1 left, 1 right, 0 undecided
    // The push-back's end beside leg 1 on the other side, taken when the
    // first samples after the push-back start show the turn going that way.
    TrafficSample alternativeTurnSample{};
    GeoPosition parkTry;  // where the last stand search looked
    bool approaching = false;
    bool landedHere = false;
    bool towed = false;
    bool climbConfigured = false;
    bool departing = false;
    bool aboveFl100Configured = false;
    bool lowLevelLightsSet = false;
    bool derotating = false;
    bool landed = false;
    bool departureRequested = false;
    bool turningOnGround = false;
};

// One real flight flown as an AI aircraft.
struct LiveAc : AcRecord {
    // Position block, in the order of the position sent every tick.
    GeoPosition position;           // degrees
    double pitch = 0.0;             // radians
    double bank = 0.0;              // radians
    double heading = 0.0;           // radians true, [0, 2 pi)
    double altitude = 0.0;          // feet
    double verticalSpeedFps = 0.0;  // feet per second
    double trueAirspeed = 0.0;      // knots

    // Front: the sample being flown from; the next one is the target.
    std::deque<TrafficSample> samples;
    double lastSampleTime = 0.0;  // report time (s) of the last record taken
    GeoPosition pathClear;        // where static aircraft in its path were last cleared
    // Placed on its stand, renewed by every sample that finds it there.
    std::chrono::steady_clock::time_point parkedAt{};
    // Continuation samples still to make: 0 = not extending, below 0 = no
    // more allowed. While below 1 the intake's spacing filter applies.
    std::int32_t extendCount = 0;
    std::int32_t holdStart = 0;  // tick at which holding began
    GroundPhase phase = GroundPhase::birth;
    GroundPhase previousPhase = GroundPhase::birth;
    bool seenAtStand = false;     // the last sample found it at its stand
    bool onGround = false;        // the simulator reports it on the ground
    bool flightPlanSent = false;  // its plan file was written; deleted with the object
    bool userClearance = false;   // kept away from the user by the buffer rules
    bool holding = false;         // holding in place on the ground
    // Kept away from the user by the buffer rules: skipped until the user
    // moves off or away.
    bool heldForUser = false;
    // The tick at which its creation went to the simulator link; a creation
    // the simulator never reports is given up after a while.
    std::optional<std::int32_t> handedToSimTick;

    MotionState motion;

    // Sets a new phase, keeping the one left as the previous phase; nothing
    // happens when the phase is the current one.
    void setPhase(GroundPhase next) noexcept;
};

// A new live aircraft in "buffer" and phase "birth", holding the first sample.
LiveAc makeLiveAc(const TrafficSample& first, FlightRec flight, double reportTime);

// --- Texts by which Log.txt names a flight ---

// "{:3}->{:3}", blanks for a missing code; eight blanks when both are missing.
std::string gf_routeText(const FixedCode3& origin, const FixedCode3& destination);
// "{:8}" of the callsign.
std::string lf_paddedCallsign(const FlightRec& flight);
// "{} {:12} {}": padded callsign, registration, route text.
std::string lf_flightText(const FlightRec& flight);
// "{} {}": code text, flight text.
std::string gf_flightLine(const FlightRec& flight);
std::string gf_liveAcLine(const LiveAc& ac);
// "{} {} {}": padded callsign, registration, code text.
std::string gf_flightLineShort(const FlightRec& flight);
// Code text, a blank, registration.
std::string gf_codeAndField(const FlightRec& flight);

// Not empty, not "@@@@@@@@" and at most 8 characters.
bool gf_isValidCallsign(const FlightRec& flight);
// Three letters and a digit: the three letters upper-cased; none otherwise.
std::optional<std::string> gf_airlineFromCallsign(std::string_view callsign);

// The flight of a traffic record with the per-category constants of its
// model; hexId, maxVerticalStep and standApproachSpeed are the caller's.
FlightRec gf_buildFlightRec(const TrafficRecord& record);

}  // namespace qvl
