#include "airports/stand.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/units.h"

namespace qvl {
namespace {

Stand standWithFlight(const std::string& id, std::uint32_t neighbour) {
    LearnedFlight flight;
    flight.registration = "PH-" + id;
    flight.ordinal = 1;
    Stand stand(id, {flight}, {.latitude = 52.0, .longitude = 4.0, .heading = 0.0}, 40.0, {});
    stand.neighbours.push_back(neighbour);
    return stand;
}

TEST(StandRecord, KeepsTheRadiusInNauticalMilesAndStartsClean) {
    const Stand stand("A1", {}, {.latitude = 52.3, .longitude = 4.76, .heading = kPi / 2}, 1852.0,
                      {.type = 0, .cargo = true, .ramp = true, .heli = false});
    EXPECT_DOUBLE_EQ(stand.radius, 1.0);
    EXPECT_EQ(stand.number, 0U);
    EXPECT_FALSE(stand.manual || stand.radiusChange || stand.cargoChange);
    EXPECT_FALSE(stand.taken || stand.occupied || stand.blocked || stand.adjacent || stand.learnedSize);
    EXPECT_TRUE(stand.neighbours.empty());
    EXPECT_GE(stand.neighbours.capacity(), 8U);
    EXPECT_TRUE(stand.cargo && stand.ramp && !stand.heli);
}

TEST(StandRecord, GrowingTheListKeepsEveryFlightAndNeighbour) {
    std::vector<Stand> stands;
    std::vector<std::size_t> capacities;
    for (std::uint32_t i = 0; i < 40; ++i) {
        lf_emplaceStand(stands, standWithFlight("S" + std::to_string(i), i + 100));
        capacities.push_back(stands.capacity());
    }
    for (std::uint32_t i = 0; i < 40; ++i) {
        ASSERT_EQ(stands[i].flights.size(), 1U);
        EXPECT_EQ(stands[i].flights[0].registration, "PH-S" + std::to_string(i));
        EXPECT_EQ(stands[i].neighbours, std::vector<std::uint32_t>{i + 100});
    }
    EXPECT_EQ(capacities[0], 1U);
    EXPECT_EQ(capacities[1], 2U);
    EXPECT_EQ(capacities[2], 3U) << "grows by half its size, at least one";
    EXPECT_EQ(capacities[3], 4U);
    EXPECT_EQ(capacities[4], 6U);
    gf_clearStands(stands);
    EXPECT_TRUE(stands.empty());
}

TEST(StandRecord, CodeTextIsFixedWidth) {
    const std::string text =
        flightCodeText({.airlineId = 9999, .operatorId = 0, .modelId = 9999, .cargo = 1, .marker = 1});
    EXPECT_EQ(text, std::string(12, ' ') + ".(C)")
        << "unknown ids give blanks, the has-value dot and the cargo mark stay";
}

}  // namespace
}  // namespace qvl
