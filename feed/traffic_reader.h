// The Traffic Reader: one traffic line per UDP datagram, filtered, converted
// into a TrafficRecord and appended to the traffic queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/current_park_airport.h"
#include "core/geodesy.h"
#include "core/refused_line_log.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "feed/traffic_record.h"
#include "feed/udp_reader.h"
#include "refdata/code_table.h"

namespace qvl {

// What became of one line.
enum class LineOutcome : std::uint8_t {
    queued,
    notAccepting,  // parsed, but traffic is not accepted now
    vehicle,       // a " VEH" datagram
    outOfRange,
    longRegistration,  // more than 12 characters
    notAircraft,
    lowHexId,             // 10000 or less
    altitudeRule,         // the airborne-only test
    placeholderCallsign,  // "ERARMTR1", "AIRPORT1", "00000000"
    longCallsign,         // more than 31 bytes: never the simulator's ATC id
    controlCharacter,     // in the callsign or the registration
    noIdentity,           // neither callsign nor registration
    groundAway,           // on the ground, not at the park airport
    unknownModel,         // a type the database does not know, while the model table is nearly full
    // A field that cannot be read: logged with the field's text, the line dropped.
    badTimestamp,    // unreadable, or no plausible report time
    badNumber,       // latitude, longitude, ground or vertical speed, roll, true heading
    badPosition,     // off the globe, or at 0,0
    badTrueHeading,  // above 360 degrees
    badHexId,        // no decimal digits, or beyond 32 bits
    badAltitude,
    badTrack,
    badTrueAirspeed,
    error,  // parsing failed otherwise (no memory, the queue's lock); logged
};

constexpr bool isBadField(LineOutcome outcome) noexcept {
    return outcome >= LineOutcome::badTimestamp && outcome <= LineOutcome::badTrueAirspeed;
}

class TrafficReader : public UdpReader {
public:
    static constexpr std::size_t kMaxCallsignBytes = 31;
    static constexpr std::size_t kMaxRegistrationLength = 12;
    // Flights remembered as noted for an unreadable airport code; more start the memory afresh.
    static constexpr std::size_t kMaxAirportCodeNotes = 4096;

    // Records go to the queue; the park airport filter's values shape the
    // ground rules. The clock paces the log lines of refused lines.
    TrafficReader(TrafficQueue& queue, FeedState& feed, RunState& run, const CurrentParkAirportState& filter,
                  SteadyNow now = steadyClockNow);

    // lf_onTrafficDatagram: a datagram holding " VEH" is ignored; any other
    // is split at its commas and parsed.
    LineOutcome onTrafficDatagram(std::string_view datagram);
    // Splits the line and parses it into a record, without queueing it.
    // A bad field's outcome comes with its log text in lineError().
    LineOutcome parseLine(std::string_view datagram, TrafficRecord& record);
    [[nodiscard]] const std::string& lineError() const noexcept { return lineError_; }

    // The range filter's centre: the user aircraft, copied in by the run
    // thread. Latitude and longitude change together, as one value.
    void setOwnPosition(const GeoPosition& position);
    [[nodiscard]] GeoPosition ownPosition() const;

    // Callsign collection for the static parking: start with an empty set,
    // later take the set over (which ends the collection).
    void startCallsignCollection();
    std::set<std::string> takeCollectedCallsigns();
    void clearCollectedCallsigns();
    [[nodiscard]] bool collectingCallsigns() const noexcept { return collectCallsigns_.load(); }

    [[nodiscard]] std::int32_t qnh() const noexcept { return qnh_.load(); }
    void setQnh(std::int32_t hPa) noexcept { qnh_.store(hPa); }

protected:
    void onData(std::string_view datagram) override;
    void onOpened() override;
    void onStopped() override;
    void onLeaving() override;

    // The kinds of refused lines, each logged in full only while it does not flood.
    enum class Refusal : std::uint8_t {
        timestamp,
        latitude,
        longitude,
        position,
        trueHeading,
        hexId,
        groundSpeed,
        altitude,
        track,
        verticalSpeed,
        roll,
        trueAirspeed,
        failure,  // parsing failed otherwise
        longCallsign,
        airportCode,  // read as none: the line is kept, the code noted
    };

private:
    void splitFields(std::string_view datagram);
    [[nodiscard]] std::string_view field(std::size_t index) const noexcept {
        return index < fields_.size() ? fields_[index] : std::string_view{};
    }
    // The steps of parseLine, in order; each returns queued to go on.
    LineOutcome readTime(TrafficRecord& record);
    LineOutcome readPosition(TrafficSample& sample);
    LineOutcome readAircraft(TrafficRecord& record);
    LineOutcome readTrueHeading(TrafficSample& sample);
    LineOutcome readHexId(TrafficRecord& record);
    LineOutcome readFlightState(TrafficRecord& record, std::string_view datagram);
    LineOutcome readMotion(TrafficRecord& record);
    LineOutcome readTrack(TrafficSample& sample);
    LineOutcome readRoll(TrafficSample& sample);
    LineOutcome readTrueAirspeed(TrafficSample& sample);
    LineOutcome finishRecord(TrafficRecord& record);

    LineOutcome badField(LineOutcome outcome, Refusal refusal, std::string text);
    LineOutcome readNumber(std::size_t index, Refusal refusal, double& value);
    template <typename MakeLine>
    void logRefusal(Refusal refusal, MakeLine&& makeLine) {
        logRefused(static_cast<std::size_t>(refusal), std::forward<MakeLine>(makeLine));
    }
    LineOutcome parseTailNumber(TrafficRecord& record) const;
    LineOutcome parseAltitude(TrafficSample& sample, std::string_view datagram);
    LineOutcome parseCallsign(TrafficRecord& record);
    void collectCallsign();
    // Empty or "null": none. Another form also reads as none, noted once per flight.
    FixedCode3 parseAirportCode(std::size_t index, std::uint32_t hexId);
    // The model id of the line's type; empty (logged once) for a type the
    // database does not know once the table is nearly full.
    std::optional<CodeId> trafficModelId(std::string_view typeCode);
    const GeoPosition& rangeCentre();

    TrafficQueue& queue_;
    const CurrentParkAirportState& filter_;
    // Used by the body's thread only; keeps its capacity between lines.
    std::vector<std::string_view> fields_;
    mutable std::mutex ownPositionMutex_;  // leaf lock: guards ownPosition_
    GeoPosition ownPosition_;
    // Raised (under the lock) with every change of ownPosition_, so that the
    // parser takes the lock only when there is a new position to copy.
    std::atomic<std::uint32_t> ownPositionVersion_{0};
    // The parser's copy of ownPosition_ and the version it was copied at.
    GeoPosition rangeCentre_;
    std::uint32_t rangeCentreVersion_ = 0;
    std::atomic<std::int32_t> qnh_{kStandardQnh};
    std::atomic<bool> collectCallsigns_{false};
    mutable std::mutex callsignMutex_;  // leaf lock: guards collectedCallsigns_
    std::set<std::string> collectedCallsigns_;
    std::atomic<bool> unknownModelLogged_{false};
    // Used by the body's thread only: the flights whose unreadable airport code was noted.
    std::unordered_set<std::uint32_t> airportCodeNoted_;
    // Used by the body's thread only: the log text of the last bad field and its kind.
    std::string lineError_;
    Refusal lineErrorKind_ = Refusal::failure;
};

}  // namespace qvl
