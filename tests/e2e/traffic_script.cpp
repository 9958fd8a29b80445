#include "traffic_script.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/units.h"

namespace qvl::test {
namespace {

// The report time of the file's start; the client moves it to the present.
constexpr double kFileStartTime = 1767225600.0;

struct Report {
    GeoPosition at;
    double altitude = 0.0;
    double offset = 0.0;
};

std::string trafficLine(const ScriptedFlight& f, const ScriptLeg& leg, const Report& r) {
    const double heading = leg.headingDeg >= 0.0 ? leg.headingDeg : leg.trackDeg;
    const double verticalSpeed = r.altitude > 0.0 ? leg.verticalSpeedFpm : 0.0;
    return fmt::format(
        "QVL,{},{:.6f},{:.6f},{:.0f},{:.0f},1000,{:.1f},{:.0f},{},{},{},{},{},{:.2f},,,adsb_icao,,,{:.0f},,,-1.0,,{:."
        "1f},,,"
        "A3,",
        f.hexId, r.at.latitude, r.at.longitude, r.altitude, verticalSpeed, leg.trackDeg, leg.groundSpeedKt, f.callsign,
        f.model, f.registration, f.origin, f.destination, kFileStartTime + r.offset, leg.groundSpeedKt,
        heading == 0.0 ? 360.0 : heading);
}

Report advance(const Report& r, const ScriptLeg& leg, double seconds) {
    Report next = r;
    next.at = pointFrom(r.at, leg.trackDeg, leg.groundSpeedKt * seconds / 3600.0);
    next.altitude = std::max(0.0, r.altitude + leg.verticalSpeedFpm * seconds / 60.0);
    next.offset = r.offset + seconds;
    return next;
}

}  // namespace

GeoPosition pointFrom(const GeoPosition& from, double bearingDeg, double nm) {
    if (nm <= 0.0) return from;
    return gf_destinationPoint(from, bearingDeg * kDegToRad, nm * kFeetPerNm);
}

double ScriptedFlight::lastReportSeconds() const {
    double total = 0.0;
    for (const ScriptLeg& leg : legs) total += leg.seconds;
    return startOffsetSeconds + total - reportSeconds;
}

GeoPosition ScriptedFlight::end() const {
    Report r{.at = start, .altitude = altitudeFt, .offset = 0.0};
    for (const ScriptLeg& leg : legs) r = advance(r, leg, leg.seconds);
    return r.at;
}

std::string replayFileText(const GeoPosition& centre, const std::vector<ScriptedFlight>& flights) {
    std::multimap<double, std::string> lines;
    for (const ScriptedFlight& f : flights) {
        Report r{.at = f.start, .altitude = f.altitudeFt, .offset = f.startOffsetSeconds};
        for (const ScriptLeg& leg : f.legs) {
            for (double t = 0.0; t < leg.seconds - 1e-9; t += f.reportSeconds) {
                lines.emplace(r.offset, trafficLine(f, leg, r));
                r = advance(r, leg, f.reportSeconds);
            }
        }
    }
    std::string text = fmt::format("C {:.6f} {:.6f}\nQ 0 {{\"QNH\": 1013}}\n", centre.latitude, centre.longitude);
    for (const auto& [offset, line] : lines) text += fmt::format("T {:.2f} {}\n", offset, line);
    return text;
}

}  // namespace qvl::test
