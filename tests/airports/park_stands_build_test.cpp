// A load's stands built where its files were read, off the main loop, and
// taken in by the load: the same stands, settings and Log.txt lines, in the
// same order, as a load built in one go.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "airports/park_airport.h"
#include "airports/support/airports_fixture.h"
#include "core/current_park_airport.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/text_file.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::standFile;
using test::writeFile;

// A1 and B2 overlap; NOPOS has no place. The learned file turns WEEK on,
// names a stand the airport lacks and adds a flight at A1.
const std::string kStands = R"(<parkpos id="A1" latitude="52.3" longitude="4.76" radius="30">
                                 <opt reg="PH-A" airl="KLM" type="B738" hh="4:5" day="3"/></parkpos>
                               <parkpos id="NOPOS" radius="30"/>
                               <parkpos id="B2" latitude="52.3002" longitude="4.76" radius="30"/>)";
const std::string kLearnedStands = R"(<parkpos id="ZZ"><opt reg="PH-Z" airl="KLM" type="B738" hh="1" day="1"/></parkpos>
                                      <parkpos id="A1"><opt reg="PH-L" airl="KLM" type="B738" hh="8" day="2"/></parkpos>)";

class ParkStandsBuild : public test::AirportsFolder {
protected:
    void SetUp() override {
        AirportsFolder::SetUp();
        writeStands(kStands);
        fs::create_directories(learnedFile.parent_path());
    }
    static void writeStands(const std::string& stands) {
        writeFile(kMySimaddonFolder / "EHAM.xml",
                  standFile({{"airport_name", "Schiphol"}, {"altitude", "-11"}}, stands));
    }
    void learned(const std::string& xml) { writeFile(learnedFile, xml); }
    ApfFiles read() const {
        return readApfFiles(request, [] { return false; });
    }
    // What the load wrote to Log.txt.
    std::string applied(const ApfFiles& files) {
        const std::size_t before = log.text().size();
        result = applyApfFiles(files, park, links);
        return log.text().substr(before);
    }
    static bool inOrder(const std::string& text, std::initializer_list<std::string> parts) {
        std::size_t at = 0;
        for (const std::string& part : parts) {
            at = text.find(part, at);
            if (at == std::string::npos) return false;
        }
        return true;
    }

    const ApfLoadRequest request{.pathText = (kMySimaddonFolder / "EHAM.xml").string(), .icao = FixedCode4("EHAM")};
    const fs::path learnedFile = kLearnedFolder / "my_simaddon" / "EHAM.xml";
    CurrentParkAirportState parkAirport;
    RunState run;
    ParkAirportLinks links{.parkAirport = parkAirport, .range = range, .status = status, .run = run};
    ApfLoadResult result = fail(ApfLoadError::failed, std::string("not loaded"));
};

TEST_F(ParkStandsBuild, TheReadBuildsTheStandsAndHoldsItsLinesForTheLoad) {
    learned(standFile({{"airport_name", "Schiphol"}, {"WEEK", "true"}}, kLearnedStands));
    const ApfFiles files = read();
    ASSERT_TRUE(files.stands);
    const std::vector<Stand>& built = files.stands->stands;
    ASSERT_EQ(built.size(), 2U);
    EXPECT_EQ(built[1].number, 2U) << "numbered where built";
    EXPECT_EQ(built[0].neighbours, std::vector<std::uint32_t>{2}) << "linked where built";
    EXPECT_EQ(built[0].flights.size(), 2U) << "the learned flight merged where built";
    EXPECT_FALSE(logged("no valid lat/lon")) << "held for the load";
    EXPECT_FALSE(logged("not found?")) << "held for the load";
    EXPECT_FALSE(WEEK.value()) << "settings are the load's";

    const std::string lines = applied(files);
    ASSERT_TRUE(result) << result.errorText();
    EXPECT_TRUE(inOrder(lines, {"stand NOPOS has no valid lat/lon", "Read from learned airport file",
                                fmt::format("{:24}: true", "WEEK"), "learned stand ZZ in", "Airport file read from"}))
        << lines;
    EXPECT_TRUE(WEEK.value());
    ASSERT_EQ(park.parkStands.size(), 2U);
    EXPECT_EQ(park.parkStands[0].flights.size(), 2U);
    EXPECT_EQ(park.qualityFactors, gf_computeQualityFactors(park.parkStands));
}

// Files applied once more (a bench, a second load of one read) build their
// stands again, as the first load took the built ones.
TEST_F(ParkStandsBuild, ASecondLoadOfTheSameFilesBuildsAsTheFirstTookThem) {
    learned(standFile({{"airport_name", "Schiphol"}, {"WEEK", "true"}}, kLearnedStands));
    const ApfFiles files = read();
    const std::string first = applied(files);
    ASSERT_TRUE(result);
    const std::vector<Stand> taken = park.parkStands;
    const std::string second = applied(files);
    ASSERT_TRUE(result);
    EXPECT_EQ(second, first) << "the same lines, built here";
    ASSERT_EQ(park.parkStands.size(), taken.size());
    for (std::size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(park.parkStands[i].id, taken[i].id);
        EXPECT_EQ(park.parkStands[i].neighbours, taken[i].neighbours);
        EXPECT_EQ(park.parkStands[i].flights.size(), taken[i].flights.size());
    }
}

// A close does not wait for the build of a read, nor does a read that is no
// longer wanted build; a load of its files builds them itself.
TEST_F(ParkStandsBuild, AStoppedReadLeavesTheBuildToTheLoad) {
    const ApfFiles files = readApfFiles(request, [] { return true; });
    ASSERT_TRUE(files.standFile) << "a local file is read all the same";
    EXPECT_FALSE(files.stands);
    const std::string lines = applied(files);
    ASSERT_TRUE(result);
    EXPECT_TRUE(inOrder(lines, {"stand NOPOS has no valid lat/lon", "Airport file read from"})) << lines;
    ASSERT_EQ(park.parkStands.size(), 2U);
    EXPECT_EQ(park.parkStands[0].neighbours, std::vector<std::uint32_t>{2});
}

TEST_F(ParkStandsBuild, ALearnedFileRefusedOnTheReadIsKeptAndTheStandFileStandsStay) {
    const std::string badVersion = standFile({{"airport_name", "Schiphol"}}, kLearnedStands, "x.y");
    learned(badVersion);
    std::string lines = applied(read());
    ASSERT_TRUE(result);
    EXPECT_TRUE(inOrder(lines, {"Read from learned airport file", "VersionData exception: invalid version format",
                                "lf_readLearned: parse error in version string", "Airport file read from"}))
        << lines;
    EXPECT_TRUE(park.learnedFileRefused);
    ASSERT_EQ(park.parkStands.size(), 2U);
    EXPECT_EQ(park.parkStands[0].flights.size(), 1U) << "nothing merged";
    EXPECT_EQ(readFile(learnedFile), badVersion) << "the refused file is kept";

    // A handmade file refused half-way keeps the stands it gave before.
    learned(standFile({{"handmade", "yes"}}, R"(<parkpos id="H1" latitude="52" longitude="4" radius="20"/>
                                                 <parkpos id="H1" latitude="52" longitude="4.1" radius="20"/>)"));
    lines = applied(read());
    ASSERT_TRUE(result);
    EXPECT_TRUE(inOrder(lines, {"Read from learned airport file", "lf_readLearned: 94: Stand 'H1' appears more",
                                "Airport file read from 'airports"}))
        << lines;
    EXPECT_TRUE(park.apfHandmade);
    EXPECT_TRUE(park.learnedFileRefused);
    ASSERT_EQ(park.parkStands.size(), 1U);
    EXPECT_EQ(park.parkStands[0].id, "H1");
}

TEST_F(ParkStandsBuild, StandsRefusedOnTheReadFailTheLoad) {
    writeStands(kStands + R"(<parkpos id="B2" latitude="52.4" longitude="4.76" radius="30"/>)");
    learned(standFile({{"airport_name", "Schiphol"}, {"WEEK", "true"}}, kLearnedStands));
    const std::string lines = applied(read());
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), ApfLoadError::failed);
    EXPECT_EQ(result.errorText(), "94: Stand 'B2' appears more than once.");
    EXPECT_TRUE(park.parkStands.empty());
    EXPECT_TRUE(inOrder(lines, {"stand NOPOS has no valid lat/lon"})) << "the lines before the refusal";
    EXPECT_FALSE(logged("Read from learned airport file"));
    EXPECT_FALSE(WEEK.value());
}

}  // namespace
}  // namespace qvl
