// Angles and lengths as every layer counts them: one set of constants, so
// the stand-in simulator and the program's geodesy can never disagree.
#pragma once

namespace qvl {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kDegToRad = 0.017453292519943295;
inline constexpr double kRadToDeg = 57.29577951308232;
// One nautical mile per minute of arc: R = 10800 / pi.
inline constexpr double kEarthRadiusNm = 10800.0 / kPi;
inline constexpr double kMetresPerNm = 1852.0;
inline constexpr double kFeetPerNm = kMetresPerNm / 0.3048;

}  // namespace qvl
