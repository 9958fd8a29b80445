// Airports read from BGL files that the writer builds from the file layout:
// stands with their ids, headings, radii and types, helipads, altitudes,
// several airports in several subsections, and the scan-log lines of what is
// dropped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "airports/bgl_support.h"

namespace qvl::test {
namespace {

namespace bw = bgl_writer;

bw::ParkingSpec bglParking(std::uint8_t nameCode, std::uint16_t number, double longitude = 4.76) {
    return {
        .nameCode = nameCode, .type = 8, .number = number, .radius = 20.0f, .latitude = 52.3, .longitude = longitude};
}

bw::BglImage oneAirport(const bw::AirportSpec& airport) {
    return bw::writeBgl({.sections = {{.subsections = {{.airports = {airport}}}}}});
}

TEST(BglReader, ParkingsBecomeStandsWithNamePrefixesNumbersAndUnits) {
    bw::AirportSpec airport{.ident = "EHAM", .altitudeMillimetres = -5000};
    airport.parkings = {bglParking(14, 5), bglParking(0, 5, 4.7601), bglParking(40, 6), bglParking(10, 12),
                        bglParking(1, 7),  bglParking(37, 3),        bglParking(11, 9)};
    airport.parkings[0].heading = 90.0f;
    airport.parkings[0].radius = 37.04f;
    airport.parkings[0].type = 15;
    airport.parkings[0].airlineCodes = 3;  // the next entry starts after the codes
    const BglAirports found = readImage(oneAirport(airport));

    ASSERT_EQ(found.airports.size(), 1U);
    const BglAirport& eham = found.airports[0];
    EXPECT_EQ(eham.record.icao.view(), "EHAM");
    EXPECT_EQ(eham.record.altitude, -16);
    EXPECT_TRUE(eham.record.airportName.empty());
    // Sorted by id in byte order; name code 40 has no prefix, 11 neither.
    EXPECT_EQ(standIds(eham), (std::vector<std::string>{"5", "6", "9", "C5", "Z3", "g12", "r7"}));
    const Stand& c5 = eham.record.stands[3];
    EXPECT_NEAR(c5.heading, std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(c5.radius, 37.04 / 1852.0, 1e-9);
    EXPECT_EQ(c5.type, 15);
    EXPECT_FALSE(c5.heli);
    EXPECT_NEAR(c5.latitude, 52.3, 1e-6);
    EXPECT_NEAR(c5.longitude, 4.76, 1e-6);
    // A heading of 0 is stored as a full turn.
    EXPECT_DOUBLE_EQ(eham.record.stands[0].heading, 2.0 * std::numbers::pi);
    EXPECT_EQ(eham.helipads, 0);
    EXPECT_TRUE(eham.standLines.empty());
}

// Ids that share their first eight bytes (helipad1, helipad10, ...) and
// parkings in reverse order still come out in byte order.
TEST(BglReader, StandsComeOutInByteOrderOfTheirWholeIds) {
    bw::AirportSpec airport{.ident = "KJFK"};
    for (int i = 0; i < 12; ++i) {
        airport.helipads.push_back({.latitude = 50.0 + 0.001 * i, .longitude = 8.5, .width = 20.0f});
    }
    for (int number = 120; number > 0; number -= 7) {
        airport.parkings.push_back(bglParking(2, static_cast<std::uint16_t>(number)));
    }
    const BglAirports found = readImage(oneAirport(airport));
    const std::vector<std::string> ids = standIds(found.airports.at(0));
    ASSERT_EQ(ids.size(), 12U + 18U);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_EQ((std::vector<std::string>(ids.begin(), ids.begin() + 5)),
              (std::vector<std::string>{"helipad1", "helipad10", "helipad11", "helipad12", "helipad2"}));
    EXPECT_EQ(ids.back(), "p99");
    // Every stand kept its own data on its way into place.
    for (const Stand& stand : found.airports.at(0).record.stands) {
        if (stand.heli) {
            EXPECT_NEAR(stand.latitude, 50.0 + 0.001 * (std::stoi(stand.id.substr(7)) - 1), 1e-6) << stand.id;
        } else {
            EXPECT_NEAR(stand.latitude, 52.3, 1e-6) << stand.id;
        }
    }
}

TEST(BglReader, AltitudesOutsideTheRangeBecomeZero) {
    auto altitudeOf = [](std::int32_t millimetres) {
        bw::AirportSpec airport{.ident = "EGLL", .altitudeMillimetres = millimetres};
        airport.parkings = {bglParking(2, 1)};
        return readImage(oneAirport(airport)).airports.at(0).record.altitude;
    };
    EXPECT_EQ(altitudeOf(-11000), 0);
    EXPECT_EQ(altitudeOf(3048000), 10000);
    EXPECT_EQ(altitudeOf(3049000), 0);
    EXPECT_EQ(altitudeOf(25000), 82);
}

TEST(BglReader, DuplicateNamesGetLettersUntilTenAreTaken) {
    bw::AirportSpec airport{.ident = "LFPG"};
    for (int i = 0; i < 12; ++i) airport.parkings.push_back(bglParking(10, 12, 2.5 + 0.001 * i));
    const BglAirports found = readImage(oneAirport(airport));
    const std::vector<std::string> ids = standIds(found.airports.at(0));
    ASSERT_EQ(ids.size(), 11U);
    EXPECT_EQ(ids[0], "g12");
    EXPECT_EQ(ids[1], "g12a");
    EXPECT_EQ(ids[10], "g12j");
    EXPECT_EQ(
        linesOf(found.airports[0].standLines, BglLineKind::scanLog),
        (std::vector<std::string>{"===> Warning: more than 10 duplicate IDs g12 in C:/Community/scenery/ap.bgl"}));
}

TEST(BglReader, EntriesFailingTheirChecksAreDroppedOneByOneWithTheirLines) {
    bw::AirportSpec airport{.ident = "KJFK"};
    airport.parkings = {bglParking(2, 1), bglParking(2, 2), bglParking(2, 3),
                        bglParking(2, 4), bglParking(2, 5), bglParking(2, 6)};
    airport.parkings[0].radius = 1.0f;
    airport.parkings[1].radius = 200.0f;
    airport.parkings[2].type = 0;   // silently
    airport.parkings[3].type = 13;  // silently
    airport.parkings[4].latitude = 0.0;
    airport.parkings[4].longitude = 0.0;
    const BglAirports found = readImage(oneAirport(airport));
    const BglAirport& kjfk = found.airports.at(0);
    EXPECT_EQ(standIds(kjfk), (std::vector<std::string>{"p6"}));
    EXPECT_EQ(linesOf(kjfk.standLines, BglLineKind::scanLog),
              (std::vector<std::string>{"Skipped position with radius 1.0 m in C:/Community/scenery/ap.bgl",
                                        "Skipped position with radius 200.0 m in C:/Community/scenery/ap.bgl",
                                        "LatLon 0.000000,0.000000 invalid (skipped)"}));
}

TEST(BglReader, NonFiniteHeadingsWidthsAndRadiiAreDropped) {
    bw::AirportSpec airport{.ident = "EHAM"};
    airport.parkings = {bglParking(2, 1), bglParking(2, 2), bglParking(2, 3)};
    airport.parkings[0].heading = std::numeric_limits<float>::quiet_NaN();
    airport.parkings[1].radius = std::numeric_limits<float>::infinity();
    airport.helipads = {{.latitude = 52.30, .longitude = 4.70, .width = std::numeric_limits<float>::quiet_NaN()},
                        {.latitude = 52.31, .longitude = 4.70, .width = 0.0f},
                        {.latitude = 52.32, .longitude = 4.70, .width = -4.0f},
                        {.latitude = 52.33, .longitude = 4.70, .width = 30.0f}};
    const BglAirports found = readImage(oneAirport(airport));
    const BglAirport& eham = found.airports.at(0);
    EXPECT_EQ(standIds(eham), (std::vector<std::string>{"helipad1", "p3"}));
    EXPECT_EQ(eham.helipads, 1);
    EXPECT_EQ(linesOf(eham.standLines, BglLineKind::scanLog),
              (std::vector<std::string>{"Skipped position with radius NAN m in C:/Community/scenery/ap.bgl",
                                        "Skipped position with radius 0.0 m in C:/Community/scenery/ap.bgl",
                                        "Skipped position with radius -2.0 m in C:/Community/scenery/ap.bgl",
                                        "Skipped position with radius 20.0 m and heading NAN in "
                                        "C:/Community/scenery/ap.bgl",
                                        "Skipped position with radius INF m in C:/Community/scenery/ap.bgl"}));
    for (const Stand& stand : eham.record.stands) {
        EXPECT_TRUE(std::isfinite(stand.heading) && std::isfinite(stand.radius) && stand.radius > 0.0);
    }
}

TEST(BglReader, HelipadsAreCountedAndADoubleOneIsSkipped) {
    bw::AirportSpec airport{.ident = "EGLL"};
    airport.helipads = {{.latitude = 51.47, .longitude = -0.45, .width = 20.0f},
                        {.latitude = 51.47, .longitude = -0.45, .width = 20.0f},
                        {.latitude = 51.48, .longitude = -0.46, .width = 10.0f},
                        {.latitude = -95.0, .longitude = -0.46, .width = 10.0f}};
    airport.parkings = {bglParking(2, 1, -0.44)};
    const BglAirports found = readImage(oneAirport(airport));
    const BglAirport& egll = found.airports.at(0);
    EXPECT_EQ(standIds(egll), (std::vector<std::string>{"helipad1", "helipad2", "p1"}));
    EXPECT_EQ(egll.helipads, 2);
    EXPECT_TRUE(egll.record.stands[0].heli);
    EXPECT_EQ(egll.record.stands[0].heading, 0.0);
    EXPECT_NEAR(egll.record.stands[1].radius, 5.0 / 1852.0, 1e-12);
    const std::vector<std::string> lines = linesOf(egll.standLines, BglLineKind::scanLog);
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0], "double helipad  (skipped) 51.470000,-0.450000");
    EXPECT_TRUE(lines[1].starts_with("lat/lon helipad incorrect (skipped): -95.0000"));
}

TEST(BglReader, AirportsOfSeveralSubsectionsAreReadInFileOrderAndOthersSaySo) {
    bw::AirportSpec eham{.ident = "EHAM"};
    eham.parkings = {bglParking(2, 1)};
    bw::AirportSpec unknown{.ident = "ZZZZ"};
    unknown.parkings = {bglParking(2, 1)};
    bw::AirportSpec threeLetters{.ident = "ABC"};
    bw::AirportSpec lfpg{.ident = "LFPG", .writeParkingList = false};
    bw::AirportSpec egll{.ident = "egll"};
    egll.parkings = {bglParking(3, 4)};
    const bw::FileSpec spec{.sections = {{.type = 0x65, .subsections = {{.otherRecordsBefore = 3}}},
                                         {.subsections = {{.otherRecordsBefore = 2, .airports = {eham, unknown}},
                                                          {.otherRecordsBefore = 1, .airports = {threeLetters, lfpg}},
                                                          {.otherRecordsBefore = 0, .airports = {egll}}}}}};
    const BglAirports found = readImage(bw::writeBgl(spec));

    ASSERT_EQ(found.airports.size(), 3U);
    EXPECT_EQ(found.airports[0].record.icao.view(), "EHAM");
    EXPECT_EQ(found.airports[1].record.icao.view(), "LFPG");
    EXPECT_TRUE(found.airports[1].record.stands.empty());
    EXPECT_EQ(found.airports[2].record.icao.view(), "EGLL");
    EXPECT_EQ(standIds(found.airports[2]), (std::vector<std::string>{"np4"}));
    // The unknown airport's line stands between the two airports around it.
    EXPECT_TRUE(found.airports[0].linesBefore.empty());
    EXPECT_EQ(linesOf(found.airports[1].linesBefore, BglLineKind::scanLog),
              (std::vector<std::string>{"ZZZZ is not an airport supported by RealTraffic "}));
    EXPECT_TRUE(found.linesAfter.empty());
}

TEST(BglReader, SectionsOfOtherTypesOrWideEntriesAreNotWalked) {
    bw::AirportSpec eham{.ident = "EHAM"};
    eham.parkings = {bglParking(2, 1)};
    EXPECT_TRUE(readImage(bw::writeBgl({.sections = {{.wideEntries = true, .subsections = {{.airports = {eham}}}}}}))
                    .airports.empty());
    EXPECT_TRUE(
        readImage(bw::writeBgl({.sections = {{.type = 4, .subsections = {{.airports = {eham}}}}}})).airports.empty());
}

TEST(BglReader, ShortOrForeignWordsGiveNothingAndNoLine) {
    for (const std::vector<std::uint8_t>& bytes :
         {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(56, 0), std::vector<std::uint8_t>(300, 0xFF)}) {
        const std::vector<std::uint32_t> words = bglWordsFromBytes(bytes);
        const BglAirports found = readBglAirports(words, bglContext());
        EXPECT_TRUE(found.airports.empty());
        EXPECT_TRUE(found.linesAfter.empty());
    }
}

TEST(BglReader, IdentsDecodeFromBase38Digits) {
    EXPECT_EQ(decodeBglIdentText(bw::packIdent("EHAM")), "EHAM");
    EXPECT_EQ(decodeBglIdentText(bw::packIdent("K7B9")), "K7B9");
    EXPECT_EQ(decodeBglIdentText(bw::packIdent("A B")), std::nullopt);  // a blank
    EXPECT_EQ(decodeBglIdentText(bw::packIdent("A?")), std::nullopt);
    EXPECT_EQ(decodeBglIdentText(0), std::nullopt);
}

TEST(BglReader, WordsAreLittleEndianWithTheLastOnePadded) {
    EXPECT_EQ(bglWordsFromBytes(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}),
              (std::vector<std::uint32_t>{0x04030201U, 0x0605U}));
}

}  // namespace
}  // namespace qvl::test
