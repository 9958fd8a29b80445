// Flights written as the stand-in traffic client's replay file: legs of
// constant ground speed, track and vertical speed, one traffic line per
// report interval, each line timed by its offset from the replay's start.
#pragma once

#include <string>
#include <vector>

#include "core/geodesy.h"

namespace qvl::test {

struct ScriptLeg {
    double seconds = 0.0;
    double groundSpeedKt = 0.0;
    double trackDeg = 0.0;
    double verticalSpeedFpm = 0.0;
    // Where the nose points while the leg is flown; negative: along the track.
    double headingDeg = -1.0;
};

struct ScriptedFlight {
    std::uint32_t hexId = 0;
    std::string callsign;
    std::string model;
    std::string registration;
    std::string origin;
    std::string destination;
    GeoPosition start{};
    double altitudeFt = 0.0;
    double startOffsetSeconds = 0.0;  // first report after the replay's start
    double reportSeconds = 2.0;
    std::vector<ScriptLeg> legs{};

    // The offset of the flight's last report.
    [[nodiscard]] double lastReportSeconds() const;
    // Where the legs end.
    [[nodiscard]] GeoPosition end() const;
};

// The point at a distance (nm) and bearing (degrees) from the position.
GeoPosition pointFrom(const GeoPosition& from, double bearingDeg, double nm);

// The replay file: a centre line, then every flight's reports in time order.
std::string replayFileText(const GeoPosition& centre, const std::vector<ScriptedFlight>& flights);

}  // namespace qvl::test
