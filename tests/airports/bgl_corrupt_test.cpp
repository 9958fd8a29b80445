// Corrupt BGL files: what stays readable is read, what is dropped leaves a
// line, and no bytes make the reading fail; then the same over 100,000
// seeded mutations of the writer's files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "airports/bgl_support.h"

namespace qvl::test {
namespace {

namespace bw = bgl_writer;

bw::BglImage sample() { return bw::writeBgl(bw::sampleAirport("EHAM", 52.3086, 4.7639, 6)); }

BglAirports readCorrupted(bw::Corruption corruption) { return readImage(bw::corrupted(sample(), corruption)); }

TEST(BglCorrupt, TheSampleItselfGivesSixGatesAndAHelipad) {
    const BglAirports found = readImage(sample());
    ASSERT_EQ(found.airports.size(), 1U);
    EXPECT_EQ(standIds(found.airports[0]), (std::vector<std::string>{"g1", "g2", "g3", "g4", "g5", "g6", "helipad1"}));
    EXPECT_EQ(found.airports[0].helipads, 1);
    EXPECT_EQ(found.airports[0].record.altitude, 39);
}

TEST(BglCorrupt, AZeroAirportSizeEndsTheSectionWithAWarning) {
    const BglAirports found = readCorrupted(bw::Corruption::zeroAirportSize);
    EXPECT_TRUE(found.airports.empty());
    const std::vector<std::string> warnings = linesOf(found.linesAfter, BglLineKind::logAttention);
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_TRUE(warnings[0].starts_with("   Warning: decodeSizeAtBoundary returned 0 at o2 = "));
}

TEST(BglCorrupt, AZeroSubRecordSizeEndsTheAirportsWalkButKeepsTheAirport) {
    const BglAirports found = readCorrupted(bw::Corruption::zeroSubRecordSize);
    ASSERT_EQ(found.airports.size(), 1U);
    EXPECT_TRUE(found.airports[0].record.stands.empty());
    EXPECT_TRUE(hasLineStarting(found.airports[0].standLines, "   Warning: decodeSizeAtBoundary returned 0 at o3 = "));
}

TEST(BglCorrupt, AnAirportLongerThanTheFileStopsAtTheFilesEnd) {
    const BglAirports found = readCorrupted(bw::Corruption::hugeAirportSize);
    ASSERT_EQ(found.airports.size(), 1U);
    EXPECT_EQ(found.airports[0].record.stands.size(), 7U);  // its list ends its walk first
    EXPECT_TRUE(found.airports[0].standLines.empty());
}

TEST(BglCorrupt, OffsetsPastTheEndSkipTheSectionSilently) {
    for (const bw::Corruption corruption :
         {bw::Corruption::recordsOffsetPastEnd, bw::Corruption::subsectionOffsetPastEnd,
          bw::Corruption::sectionCountTooLarge}) {
        const BglAirports found = readCorrupted(corruption);
        EXPECT_TRUE(found.airports.empty());
        EXPECT_TRUE(found.linesAfter.empty());
    }
}

TEST(BglCorrupt, AnOverLargeParkingCountStopsAtTheEndOfItsSubRecord) {
    // A second airport follows the list, so that reading on would read it.
    bw::FileSpec spec = bw::sampleAirport("EHAM", 52.3086, 4.7639, 6);
    spec.sections.front().subsections.front().airports.push_back(
        bw::sampleAirport("EGLL", 51.47, -0.45, 3).sections.front().subsections.front().airports.front());
    const BglAirports found = readImage(bw::corrupted(bw::writeBgl(spec), bw::Corruption::parkingCountTooLarge));
    ASSERT_EQ(found.airports.size(), 2U);
    EXPECT_EQ(found.airports[0].record.stands.size(), 7U);
    ASSERT_EQ(linesOf(found.airports[0].standLines, BglLineKind::scanLog).size(), 1U);
    EXPECT_TRUE(hasLineStarting(found.airports[0].standLines, "Parking list at word "));
    EXPECT_NE(found.airports[0].standLines[0].text.find("ends after 6 of 65535 entries"), std::string::npos);
    EXPECT_EQ(found.airports[1].record.stands.size(), 4U);
}

TEST(BglCorrupt, AFileEndingInsideTheParkingListKeepsTheWholeEntries) {
    const BglAirports found = readCorrupted(bw::Corruption::truncatedInParkingList);
    ASSERT_EQ(found.airports.size(), 1U);
    EXPECT_EQ(standIds(found.airports[0]), (std::vector<std::string>{"g1", "helipad1"}));
    EXPECT_NE(found.airports[0].standLines.at(0).text.find("ends after 1 of 6 entries"), std::string::npos);
}

TEST(BglCorrupt, AnUnalignedOffsetIsReadFromItsWordAndSaidSo) {
    const BglAirports found = readCorrupted(bw::Corruption::unalignedRecordsOffset);
    ASSERT_EQ(found.airports.size(), 1U);
    EXPECT_EQ(found.airports[0].record.stands.size(), 7U);
    const std::vector<std::string> lines = linesOf(found.airports[0].linesBefore, BglLineKind::scanLog);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_TRUE(lines[0].starts_with("Offset ")) << lines[0];
    EXPECT_NE(lines[0].find("is not on a 4-byte boundary"), std::string::npos);
}

TEST(BglCorrupt, AHelipadShorterThanItsLayoutIsDroppedWithALine) {
    const BglAirports found = readCorrupted(bw::Corruption::shortHelipad);
    ASSERT_EQ(found.airports.size(), 1U);
    EXPECT_EQ(found.airports[0].helipads, 0);
    EXPECT_TRUE(hasLineStarting(found.airports[0].standLines, "Helipad record at word "));
}

TEST(BglCorrupt, AnAirportRecordShorterThanItsLayoutIsDroppedWithALine) {
    bw::BglImage image = sample();
    bw::putU32(image.bytes, image.airportRecords.at(0) + 2, 44);
    const BglAirports found = readImage(image);
    EXPECT_TRUE(found.airports.empty());
    EXPECT_TRUE(hasLineStarting(found.linesAfter, "Airport record at word "));
}

// Every stand the reading keeps is one the program can place.
void expectPlaceable(const BglAirports& found) {
    for (const BglAirport& airport : found.airports) {
        for (const Stand& stand : airport.record.stands) {
            ASSERT_TRUE(std::isfinite(stand.heading) && std::isfinite(stand.radius) && stand.radius > 0.0);
            ASSERT_TRUE(stand.latitude >= -90.0 && stand.latitude <= 90.0);
            ASSERT_TRUE(stand.longitude >= -180.0 && stand.longitude <= 180.0);
        }
        ASSERT_TRUE(std::is_sorted(airport.record.stands.begin(), airport.record.stands.end(),
                                   [](const Stand& a, const Stand& b) { return a.id < b.id; }));
    }
}

std::vector<std::vector<std::uint8_t>> mutationSeeds() {
    bw::FileSpec several = bw::sampleAirport("EGLL", 51.47, -0.45, 12);
    bw::AirportSpec kjfk{.ident = "KJFK"};
    for (std::uint16_t i = 0; i < 5; ++i) {
        kjfk.parkings.push_back({.nameCode = 12, .type = 3, .number = i, .latitude = 40.64, .longitude = -73.78});
    }
    kjfk.helipads.push_back({.latitude = 40.65, .longitude = -73.77});
    several.sections.front().subsections.push_back({.otherRecordsBefore = 2, .airports = {kjfk}});
    return {sample().bytes, bw::writeBgl(several).bytes};
}

// Word-sized values that sizes, counts and offsets turn dangerous with.
std::uint32_t edgeValue(std::mt19937& random) {
    static constexpr std::uint32_t kEdges[] = {0, 1, 2, 3, 4, 56, 68, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF, 3};
    return kEdges[random() % std::size(kEdges)];
}

void mutate(std::vector<std::uint8_t>& bytes, std::mt19937& random) {
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        const std::size_t at = random() % bytes.size();
        switch (random() % 5) {
            case 0: bytes[at] = static_cast<std::uint8_t>(random()); break;
            case 1: bytes[at] ^= static_cast<std::uint8_t>(1U << (random() % 8)); break;
            case 2:
                if (at + 4 <= bytes.size()) bw::putU32(bytes, at - at % 4, edgeValue(random));
                break;
            case 3: bytes.resize(at); break;
            default:
                if (at + 2 <= bytes.size()) bw::putU16(bytes, at, static_cast<std::uint16_t>(edgeValue(random)));
                break;
        }
    }
}

TEST(BglCorrupt, HundredThousandSeededMutationsOfTheWritersFilesReadSafely) {
    const std::vector<std::vector<std::uint8_t>> seeds = mutationSeeds();
    std::mt19937 random(20240623U);
    const BglReadContext context = bglContext();
    std::size_t airports = 0;
    for (int round = 0; round < 100000; ++round) {
        std::vector<std::uint8_t> bytes = seeds[static_cast<std::size_t>(round) % seeds.size()];
        mutate(bytes, random);
        const std::vector<std::uint32_t> words = bglWordsFromBytes(bytes);
        const BglAirports found = readBglAirports(words, context);
        airports += found.airports.size();
        expectPlaceable(found);
        if (HasFatalFailure()) FAIL() << "mutation round " << round;
    }
    // Most mutations leave the airports readable: the walk was exercised.
    EXPECT_GT(airports, 50000U);
}

}  // namespace
}  // namespace qvl::test
