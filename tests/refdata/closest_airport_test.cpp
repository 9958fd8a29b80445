#include "refdata/closest_airport.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/geodesy.h"
#include "refdata/support/reference_data_folder.h"

namespace qvl {
namespace {

// Airports on the equator east of 0/0: one degree of longitude is 60 nm, so
// an airport at n/60 degrees is n nautical miles from the user at 0/0.
std::string airportAt(const char* code, double nm) {
    return fmt::format(R"(<ap c="{}" la="0" lo="{:.17g}" a="0" s="3"/>)", code, nm / 60.0);
}

class ClosestAirport : public test::ReferenceDataFolder {
protected:
    void list(const std::vector<std::string>& rows) {
        std::string xml = "<?xml version=\"1.0\"?>\n<root><airports>\n";
        for (const auto& row : rows) xml += row + "\n";
        writeEncrypted("airports.enc", xml + "</airports></root>\n");
        ASSERT_TRUE(gf_readAirports());
    }
    // Answers with the distances given per airport; records who was asked.
    NearestStandQuery stands(double aaaa, double bbbb) {
        return [this, aaaa, bbbb](const FixedCode4& icao, const GeoPosition&, std::string& id) {
            asked.emplace_back(gf_fixedCodeView(icao));
            id = "S-" + std::string(gf_fixedCodeView(icao));
            return icao == FixedCode4("AAAA") ? aaaa : bbbb;
        };
    }
    static std::string codeOf(const AirportRec* airport) {
        return airport == nullptr ? "none" : std::string(gf_fixedCodeView(airport->icao));
    }
    std::vector<std::string> asked;
    const GeoPosition user{.latitude = 0.0, .longitude = 0.0};
};

TEST_F(ClosestAirport, NearestWithinFiveMilesWithoutStandQuestions) {
    list({airportAt("AAAA", 3.0), airportAt("BBBB", 4.0), airportAt("CCCC", 0.5)});
    const AirportRec* found = gf_closestAirport(user, stands(1.0, 1.0));
    EXPECT_EQ(codeOf(found), "CCCC");
    EXPECT_EQ(found, &airportList()[2]) << "an entry of the list itself";
    // Later in code order, CCCC replaced AAAA (3 nm) as the nearest; AAAA is
    // the neighbour and was asked, CCCC wins at equal stand distances.
    EXPECT_EQ(asked, (std::vector<std::string>{"CCCC", "AAAA"}));
}

TEST_F(ClosestAirport, FiveMilesIsInReachAndATieKeepsTheFirst) {
    list({airportAt("AAAA", 5.0), airportAt("BBBB", 5.0)});
    ASSERT_EQ(gf_distanceNm(user, {.latitude = 0.0, .longitude = airportList()[0].longitude}), 5.0);
    EXPECT_EQ(codeOf(gf_closestAirport(user, stands(100.0, 100.0))), "AAAA");
    EXPECT_TRUE(asked.empty()) << "an equal distance is no candidate";
    resetAirportList();
    list({airportAt("AAAA", 5.02)});
    EXPECT_EQ(codeOf(gf_closestAirport(user, stands(100.0, 100.0))), "none");
}

TEST_F(ClosestAirport, ANearerAirportLaterInCodeOrderIsComparedByStands) {
    // B (3 nm) before A? Codes sort AAAA first, so the farther one must come
    // first: BBBB is nearer and comes later, AAAA becomes its neighbour.
    list({airportAt("AAAA", 4.0), airportAt("BBBB", 3.0)});
    EXPECT_EQ(codeOf(gf_closestAirport(user, stands(0.2, 0.3))), "AAAA") << "the neighbour's stand is nearer";
    EXPECT_TRUE(logHas("Airport BBBB is closest, neighbour is AAAA"));
    EXPECT_TRUE(
        logHas("Airport BBBB is closest, but stand S-AAAA at neighbouring airport AAAA is closer at 370 meters"));
    EXPECT_EQ(codeOf(gf_closestAirport(user, stands(0.3, 0.3))), "BBBB") << "only strictly nearer wins";
    EXPECT_EQ(codeOf(gf_closestAirport(user, stands(100.0, 100.0))), "BBBB") << "no stand files: the closest";
}

TEST_F(ClosestAirport, AFartherAirportAfterTheNearestIsNeverComparedAndAnEmptyListGivesNone) {
    EXPECT_EQ(gf_closestAirport(user, stands(1.0, 1.0)), nullptr);
    EXPECT_EQ(gf_closestAirport(user, nullptr), nullptr);
    list({airportAt("AAAA", 3.0), airportAt("BBBB", 4.0)});
    EXPECT_EQ(codeOf(gf_closestAirport(user, stands(9.0, 0.01))), "AAAA");
    EXPECT_TRUE(asked.empty());
}

}  // namespace
}  // namespace qvl
