// What the loader derives from the stands: their numbers, their overlapping
// neighbours and the airport's quality factors.
#include <fmt/format.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <gsl/narrow>
#include <limits>
#include <numeric>

#include "airports/park_airport.h"
#include "core/geodesy.h"
#include "core/rounding.h"

namespace qvl {

namespace {

// Two stands overlap when their distance times this is below their radii.
constexpr double kOverlapFactor = 1.1;
// Nautical miles per degree of latitude on the program's earth (R = 10800 / pi).
constexpr double kNmPerDegreeLatitude = 60.0;

bool overlap(const Stand& a, const Stand& b) {
    const double distance = gf_distanceNm({.latitude = a.latitude, .longitude = a.longitude},
                                          {.latitude = b.latitude, .longitude = b.longitude});
    return distance * kOverlapFactor < a.radius + b.radius;
}

// How far apart in latitude two stands can be and still overlap, in degrees;
// infinite when a radius is. A great circle is never shorter than its
// latitude difference, so stands farther apart than this cannot overlap.
double overlapBandDegrees(const std::vector<Stand>& stands) {
    double largest = -std::numeric_limits<double>::infinity();
    for (const Stand& stand : stands) {
        if (std::isinf(stand.radius)) return std::numeric_limits<double>::infinity();
        if (stand.radius > largest) largest = stand.radius;
    }
    // The margin covers the rounding of the distance formula.
    return 2.0 * largest / kOverlapFactor / kNmPerDegreeLatitude * (1.0 + 1e-9) + 1e-12;
}

void linkAllPairs(std::vector<Stand>& stands) {
    for (Stand& a : stands) {
        for (const Stand& b : stands) {
            if (&a != &b && overlap(a, b)) a.neighbours.push_back(b.number);
        }
    }
}

void linkWithinBand(std::vector<Stand>& stands) {
    std::vector<std::size_t> byLatitude(stands.size());
    std::iota(byLatitude.begin(), byLatitude.end(), std::size_t{0});
    std::sort(byLatitude.begin(), byLatitude.end(),
              [&](std::size_t a, std::size_t b) { return stands[a].latitude < stands[b].latitude; });
    const double band = overlapBandDegrees(stands);
    for (std::size_t i = 0; i < byLatitude.size(); ++i) {
        Stand& a = stands[byLatitude[i]];
        for (std::size_t j = i + 1; j < byLatitude.size(); ++j) {
            Stand& b = stands[byLatitude[j]];
            if (!(b.latitude - a.latitude <= band)) break;
            // The distance is the same both ways, so one test serves the pair.
            if (!overlap(a, b)) continue;
            a.neighbours.push_back(b.number);
            b.neighbours.push_back(a.number);
        }
    }
}

struct KindSums {
    double real = 0.0;
    double soft = 0.0;
};

// A stand's weight in the factors, by its radius in nautical miles.
double standWeight(const Stand& stand) {
    if (stand.radius <= 7.0) return 0.3;
    if (stand.radius <= 10.0) return 1.5;
    return 1.0;
}

// The score of one kind of flights of a stand; 0 without such flights.
double kindScore(const std::vector<LearnedFlight>& flights, bool real) {
    std::int64_t count = 0;
    std::int64_t bits = 0;
    std::bitset<8> days;
    for (const LearnedFlight& flight : flights) {
        if (flight.ordinal == 0 || flight.real != real) continue;
        ++count;
        bits += static_cast<std::int64_t>(flight.hours.count());
        if (flight.day >= 1 && flight.day <= 7) days.set(flight.day);
    }
    if (count == 0) return 0.0;
    const std::int64_t score = std::min<std::int64_t>(20 * count, 4000) + 10000 +
                               100 * static_cast<std::int64_t>(days.count()) + 2 * std::min<std::int64_t>(bits, 600);
    return static_cast<double>(score);
}

std::int32_t factorOf(double sum, double weightSum) {
    const auto factor = roundToInt32(sum / weightSum * 0.00625);
    return std::clamp(factor, 0, 100);
}

}  // namespace

void numberStands(std::vector<Stand>& stands) {
    std::uint32_t number = 0;
    for (Stand& stand : stands) stand.number = ++number;
}

void linkNeighbours(std::vector<Stand>& stands) {
    for (Stand& stand : stands) stand.neighbours.clear();
    // Stands are visited by latitude, so only those within the overlap band
    // of each other are compared; a latitude that is no number has no place
    // in that order and would break the sort.
    const bool ordered =
        std::all_of(stands.begin(), stands.end(), [](const Stand& s) { return !std::isnan(s.latitude); });
    if (ordered) {
        linkWithinBand(stands);
    } else {
        linkAllPairs(stands);
    }
    for (Stand& stand : stands) {
        std::sort(stand.neighbours.begin(), stand.neighbours.end());
        stand.neighbours.shrink_to_fit();
    }
}

QualityFactors gf_computeQualityFactors(const std::vector<Stand>& stands) {
    const bool anyFlights =
        std::any_of(stands.begin(), stands.end(), [](const Stand& s) { return !s.flights.empty(); });
    if (!anyFlights) return {};
    KindSums sums;
    double weightSum = 0.0;
    for (const Stand& stand : stands) {
        if (stand.heli) continue;
        const double weight = standWeight(stand);
        weightSum += weight;
        sums.real += kindScore(stand.flights, true) * weight;
        sums.soft += kindScore(stand.flights, false) * weight;
    }
    if (!(weightSum > 0.0)) return {.real = 0, .soft = 0};
    return {.real = factorOf(sums.real, weightSum), .soft = factorOf(sums.soft, weightSum)};
}

std::string gf_qualityFactorText(const QualityFactors& factors) {
    if (factors.real < 0 && factors.soft < 0) return "  ";
    if (factors.real < 45) return fmt::format("{:2}/{:2}", factors.real, factors.soft);
    return fmt::format("{:2}", factors.real);
}

}  // namespace qvl
