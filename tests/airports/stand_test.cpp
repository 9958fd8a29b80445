#include "airports/stand.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qvl {
namespace {

TEST(StandRecord, GrowingTheListKeepsEveryFlightAndNeighbour) {
    std::vector<Stand> stands;
    for (std::uint32_t i = 0; i < 40; ++i) {
        LearnedFlight flight;
        flight.registration = "PH-S" + std::to_string(i);
        Stand stand("S" + std::to_string(i), {flight}, {.latitude = 52.0, .longitude = 4.0, .heading = 0.0}, 40.0, {});
        stand.neighbours.push_back(i + 100);
        lf_emplaceStand(stands, std::move(stand));
    }
    for (std::uint32_t i = 0; i < 40; ++i) {
        ASSERT_EQ(stands[i].flights.size(), 1U);
        EXPECT_EQ(stands[i].flights[0].registration, "PH-S" + std::to_string(i));
        EXPECT_EQ(stands[i].neighbours, std::vector<std::uint32_t>{i + 100});
    }
}

TEST(StandRecord, CodeTextIsFixedWidth) {
    EXPECT_EQ(flightCodeText({.airlineId = 9999, .operatorId = 0, .modelId = 9999, .cargo = 1, .marker = 1}),
              std::string(12, ' ') + ".(C)")
        << "unknown ids give blanks, the has-value dot and the cargo mark stay";
}

}  // namespace
}  // namespace qvl
