#include "core/geodesy.h"

#include <algorithm>
#include <cmath>

namespace qvl {

namespace {

// Twice the earth's radius in nautical miles.
constexpr double kEarthDiameterNm = 6875.493541569878;

// Rounding can push a computed sine or haversine term a hair outside its
// range; sqrt and asin would then answer NaN and the NaN would travel into
// every position derived from it.
double clampUnit(double value) { return std::clamp(value, 0.0, 1.0); }
double clampSigned(double value) { return std::clamp(value, -1.0, 1.0); }

// Brings an angle from atan2 into [0, 2 pi). A tiny negative angle plus
// 2 pi rounds to exactly 2 pi, which is the same direction as 0.
double wrapTwoPi(double angle) {
    if (angle < 0.0) angle += kTwoPi;
    if (angle >= kTwoPi) angle -= kTwoPi;
    return angle;
}

double square(double x) { return x * x; }

// Every number the curve is built from must be usable; a curve without a
// positive time span cannot be walked (its progress would divide by zero).
bool curveIsUsable(const CurveRecord& c) {
    const bool finite = std::isfinite(c.originLatitude) && std::isfinite(c.originLongitude) && std::isfinite(c.t0) &&
                        std::isfinite(c.t1) && std::isfinite(c.endNorth) && std::isfinite(c.endEast) &&
                        std::isfinite(c.controlEast) && std::isfinite(c.controlNorth);
    return finite && c.t1 > c.t0;
}

}  // namespace

double gf_distanceNm(const GeoPosition& a, const GeoPosition& b) {
    const double phiA = a.latitude * kDegToRad;
    const double phiB = b.latitude * kDegToRad;
    const double dPhi = phiB - phiA;
    const double dLambda = (b.longitude - a.longitude) * kDegToRad;
    const double h =
        clampUnit(square(std::sin(dPhi / 2.0)) + std::cos(phiA) * std::cos(phiB) * square(std::sin(dLambda / 2.0)));
    return std::atan2(std::sqrt(h), std::sqrt(1.0 - h)) * kEarthDiameterNm;
}

double gf_initialBearing(const GeoPosition& from, const GeoPosition& to) {
    const double phiFrom = from.latitude * kDegToRad;
    const double phiTo = to.latitude * kDegToRad;
    const double dLambda = (to.longitude - from.longitude) * kDegToRad;
    const double theta =
        std::atan2(std::sin(dLambda) * std::cos(phiTo),
                   std::cos(phiFrom) * std::sin(phiTo) - std::sin(phiFrom) * std::cos(phiTo) * std::cos(dLambda));
    return wrapTwoPi(theta);
}

GeoPosition gf_destinationPoint(const GeoPosition& start, double bearing, double distanceFeet) {
    const double delta = distanceFeet * kFeetToRadians;
    const double phi1 = start.latitude * kDegToRad;
    const double lambda1 = start.longitude * kDegToRad;
    const double phi2 =
        std::asin(clampSigned(std::sin(phi1) * std::cos(delta) + std::cos(phi1) * std::sin(delta) * std::cos(bearing)));
    const double lambda2 = std::remainder(lambda1 + std::atan2(std::sin(bearing) * std::sin(delta) * std::cos(phi1),
                                                               std::cos(delta) - std::sin(phi1) * std::sin(phi2)),
                                          kTwoPi);
    return {phi2 * kRadToDeg, lambda2 * kRadToDeg};
}

bool gf_curvePosition(const CurveRecord& curve, GeoPosition& position, double& track, double t) {
    // Written so that a NaN time fails too.
    if (!curveIsUsable(curve) || !(t >= curve.t0 && t <= curve.t1)) return false;
    const double u = (t - curve.t0) / (curve.t1 - curve.t0);
    if (u < 0.0 || u > 1.0) return false;

    const double dEast = 2.0 * u * (curve.endEast - curve.controlEast) + 2.0 * (1.0 - u) * curve.controlEast;
    const double dNorth = 2.0 * u * (curve.endNorth - curve.controlNorth) + 2.0 * (1.0 - u) * curve.controlNorth;
    const double east = 2.0 * u * (1.0 - u) * curve.controlEast + u * u * curve.endEast;
    const double north = 2.0 * u * (1.0 - u) * curve.controlNorth + u * u * curve.endNorth;

    track = wrapTwoPi(std::atan2(dEast, dNorth));
    position.latitude = curve.originLatitude + north / kMetresPerDegreeLatitude;
    position.longitude =
        curve.originLongitude + east / (kMetresPerDegreeLatitude * std::cos(curve.originLatitude * kDegToRad));
    return true;
}

}  // namespace qvl
