// A floating value rounded to a 32-bit integer, failing as gsl::narrow
// fails. gsl::narrow itself casts first and checks after, and a cast of a
// value outside the integer's range is undefined behaviour.
#pragma once

#include <gsl/narrow>

#include <cmath>
#include <cstdint>
#include <limits>

namespace qvl {

// The nearest integer (halves away from zero); gsl::narrowing_error when the
// value is not a number or its rounding does not fit.
[[nodiscard]] inline std::int32_t roundToInt32(double value) {
    const double rounded = std::round(value);
    constexpr auto kLowest = static_cast<double>(std::numeric_limits<std::int32_t>::min());
    constexpr auto kHighest = static_cast<double>(std::numeric_limits<std::int32_t>::max());
    if (!(rounded >= kLowest && rounded <= kHighest)) throw gsl::narrowing_error();
    return static_cast<std::int32_t>(rounded);
}

}  // namespace qvl
