// Positions on a spherical earth: distance, initial bearing, the point
// reached along a bearing, and the point and track on a planned ground curve.
// Pure functions in double precision.
#pragma once

#include "platform/units.h"

namespace qvl {

// One over the earth's radius in feet: feet to radians of arc.
inline constexpr double kFeetToRadians = 4.787404208238998e-8;
// The flat frame of ground curves.
inline constexpr double kMetresPerDegreeLatitude = 111132.95;

// Degrees, north and east positive.
struct GeoPosition {
    double latitude = 0.0;
    double longitude = 0.0;
};

// A planned ground path: a quadratic Bezier curve in a flat frame of metres
// north and east of the origin, starting at the origin (time t0) through the
// control point's pull to the end point (time t1). The field order is that of
// the engine's motion records.
struct CurveRecord {
    double originLatitude = 0.0;   // degrees
    double originLongitude = 0.0;  // degrees
    double t0 = 0.0;
    double endNorth = 0.0;  // metres
    double endEast = 0.0;   // metres
    double t1 = 0.0;
    double controlEast = 0.0;   // metres; NaN means "no curve"
    double controlNorth = 0.0;  // metres; NaN means "no curve"
};

// Great-circle distance in nautical miles (haversine).
double gf_distanceNm(const GeoPosition& a, const GeoPosition& b);

// Initial great-circle bearing in radians, in [0, 2 pi).
double gf_initialBearing(const GeoPosition& from, const GeoPosition& to);

// The point reached from start along the bearing (radians) after the
// distance (feet); its longitude lies in [-180, 180].
GeoPosition gf_destinationPoint(const GeoPosition& start, double bearing, double distanceFeet);

// Position and track (radians, [0, 2 pi)) on the curve at time t. False, with
// the outputs untouched, when there is no usable curve or t lies outside
// [t0, t1].
bool gf_curvePosition(const CurveRecord& curve, GeoPosition& position, double& track, double t);

}  // namespace qvl
