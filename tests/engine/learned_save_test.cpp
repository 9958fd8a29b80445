// The save of the park airport's learned file, on a stand file written and
// loaded in the test's own program folder.
#include "engine/parking/learned_save.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "airports/apf_file.h"
#include "airports/park_airport.h"
#include "core/files.h"
#include "core/time_text.h"
#include "refdata/code_table.h"
#include "simlink/sim_version.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStandFile = "airports/my_simaddon/EDDF.xml";
constexpr const char* kLearnedFile = "airports/learned/my_simaddon/EDDF.xml";

bool refuseRename(const fs::path& /*from*/, const fs::path& /*to*/) { return false; }

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LearnedSaveTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        previousFolder_ = fs::current_path();
        fs::current_path(dir.path());
        ApfRecord record;
        record.icao = FixedCode4("EDDF");
        record.airportName = "Frankfurt";
        record.publisher = "Test";
        record.stands = {standAt("A1", 50.0), standAt("A2", 50.01)};
        ASSERT_TRUE(gf_saveApf(record, kStandFile, {.mode = ApfMode::generated, .simNumber = 1, .handmade = false}));
        load();
    }
    void TearDown() override {
        // A save left to the writer writes into the test's folder, not the next one's.
        EXPECT_TRUE(learnedSaved());
        setRenameFunctionForTests(nullptr);
        fs::current_path(previousFolder_);
        EngineTest::TearDown();
    }

    static Stand standAt(const char* id, double latitude) {
        return {id, {}, {.latitude = latitude, .longitude = 8.5, .heading = 0.0}, 30.0, StandKind{}};
    }
    void load() {
        ASSERT_TRUE(gf_readApf({.pathText = kStandFile, .icao = FixedCode4("EDDF")}, stands.park, links).ok());
    }
    // The save handed over and done.
    void save() {
        lf_saveAirportFile(engine);
        ASSERT_TRUE(learnedSaved());
    }
    // A flight learned at stand 1 through the engine's stand service.
    void learnAtStandOne(const std::string& registration) {
        const LiveryKey ids{.airlineId = gf_airlineId("DLH"), .modelId = gf_modelId("A320")};
        ASSERT_TRUE(stands.addStandOption(1, ids, {.day = 3, .slot = 20}, "DLH4", registration, 0).added);
    }
    // The saved file's parkpos elements, with the registrations of their opts.
    static std::vector<std::pair<std::string, std::vector<std::string>>> savedStands() {
        pugi::xml_document document;
        EXPECT_TRUE(document.load_file(fs::path(kLearnedFile).c_str()));
        std::vector<std::pair<std::string, std::vector<std::string>>> out;
        for (const pugi::xml_node parkpos : parkPositionsOf(document).children("parkpos")) {
            std::vector<std::string> registrations;
            for (const pugi::xml_node opt : parkpos.children("opt"))
                registrations.emplace_back(opt.attribute("reg").value());
            out.emplace_back(parkpos.attribute("id").value(), registrations);
        }
        return out;
    }

    RangeControl loadRange{[] { return std::optional<AutoRangeInputs>{}; }};
    ParkAirportLinks links{.parkAirport = parkAirport, .range = loadRange, .status = status, .run = run};

private:
    fs::path previousFolder_;
};

TEST_F(LearnedSaveTest, AnAirportWhereNothingWasLearnedIsSavedWithoutStands) {
    save();
    ASSERT_TRUE(fs::exists(kLearnedFile));
    EXPECT_TRUE(savedStands().empty());
    EXPECT_TRUE(logHas(" 'airports/learned/my_simaddon/EDDF.xml' saved with 0 updates")) << log();
    EXPECT_FALSE(logHas("handmade"));
}

TEST_F(LearnedSaveTest, AHandmadeFileIsSavedWholeAndSaysSo) {
    stands.park.apfHandmade = true;
    save();
    const auto saved = savedStands();
    ASSERT_EQ(saved.size(), 2U);
    EXPECT_EQ(saved[0].first, "A1");
    EXPECT_EQ(saved[1].first, "A2");
    EXPECT_TRUE(logHas(" handmade 'airports/learned/my_simaddon/EDDF.xml' saved with 0 updates")) << log();
}

TEST_F(LearnedSaveTest, LearnedFlightsAreKeptWhateverTheirIndexAndStandFileFlightsAreNot) {
    learnAtStandOne("D-AIZA");
    std::vector<LearnedFlight>& flights = stands.flights(1);
    flights.back().ordinal = 0;  // left out by the last selection
    LearnedFlight fromFile = flights.back();
    fromFile.registration = "D-FILE";
    fromFile.source = FlightSource::standFile;
    fromFile.ordinal = 2;
    flights.push_back(fromFile);
    save();
    const auto saved = savedStands();
    ASSERT_EQ(saved.size(), 1U);
    EXPECT_EQ(saved[0].first, "A1");
    EXPECT_EQ(saved[0].second, std::vector<std::string>{"D-AIZA"});
    EXPECT_TRUE(logHas("saved with 1 update\n")) << log();
}

TEST_F(LearnedSaveTest, AStandWhoseOnlyChangeIsItsRadiusIsSaved) {
    stands.learnStandSize(2, 0.05);
    save();
    const auto saved = savedStands();
    ASSERT_EQ(saved.size(), 1U);
    EXPECT_EQ(saved[0].first, "A2");
    EXPECT_TRUE(saved[0].second.empty());
}

TEST_F(LearnedSaveTest, EachSimulatorsFileNamesItsOwnSimulator) {
    for (const auto& [version, simNumber] :
         {std::pair{SimVersion::msfs2024, "2"}, std::pair{SimVersion::msfs2020, "1"}}) {
        engine.link.simVersion = version;
        save();
        pugi::xml_document document;
        ASSERT_TRUE(document.load_file(fs::path(kLearnedFile).c_str()));
        const pugi::xml_node row = document.child("root").child("meta").find_child_by_attribute("info", "name", "sim");
        EXPECT_STREQ(row.attribute("value").value(), simNumber);
    }
}

TEST_F(LearnedSaveTest, TheLearnedFlightsComeBackWhenTheAirportIsLoadedAgain) {
    learnAtStandOne("D-AIZA");
    stands.clearCargoFlag(2);
    save();
    load();
    const std::vector<LearnedFlight>& flights = stands.flights(1);
    ASSERT_EQ(flights.size(), 1U);
    EXPECT_EQ(flights[0].registration, "D-AIZA");
    EXPECT_EQ(flights[0].callsign1, "DLH4");
    EXPECT_EQ(flights[0].day, 3U);
    EXPECT_TRUE(flights[0].hours.test(20));
    EXPECT_TRUE(stands.stand(2)->cargoChange);
}

TEST_F(LearnedSaveTest, AFolderThatCannotBeMadeIsLoggedAndTheSaveGivesUp) {
    // A file where the learned folder should be.
    std::ofstream("airports/learned") << "in the way";
    learnAtStandOne("D-AIZA");
    EXPECT_NO_THROW(save());
    EXPECT_TRUE(logHas("could not create the folder 'airports/learned/my_simaddon'")) << log();
    EXPECT_TRUE(logHas("==> ")) << log();
    EXPECT_TRUE(logHas(" saving 'airports/learned/my_simaddon/EDDF.xml' did not succeed")) << log();
}

TEST_F(LearnedSaveTest, AFailedWriteLeavesTheOldFileWhole) {
    save();
    const std::string before = contentOf(kLearnedFile);
    ASSERT_FALSE(before.empty());
    learnAtStandOne("D-AIZA");
    setRenameFunctionForTests(&refuseRename);
    save();
    EXPECT_EQ(contentOf(kLearnedFile), before);
    EXPECT_TRUE(logHas(" saving 'airports/learned/my_simaddon/EDDF.xml' did not succeed")) << log();
    // Nothing of the failed write is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(kLearnedFile).parent_path()), fs::directory_iterator()), 1);
}

// A learned file that is refused when read, for whatever reason, is kept as
// it is: leaving the airport writes nothing over it.
TEST_F(LearnedSaveTest, ARefusedLearnedFileIsKeptAndNotWrittenOver) {
    const std::string flights = R"(<parkpositions><parkpos id="A1"><opt reg="D-AIZB" airl="DLH" type="A320" )"
                                R"(hh="20" day="3"/></parkpos></parkpositions>)";
    const std::vector<std::pair<std::string, std::string>> refused{
        {"no copyright row", R"(<root><meta><info name="author" value="Quorvelant"/><info name="version" )"
                             R"(value="12.2.0"/><info name="sim" value="1"/></meta>)" +
                                 flights + "</root>\n"},
        {"an empty copyright", R"(<root><meta><info name="version" value="12.2.0"/>)"
                               R"(<info name="copyright" value=""/></meta>)" +
                                   flights + "</root>\n"},
        {"no meta block", "<root>" + flights + "</root>\n"},
        {"a version that does not parse", R"(<root><meta><info name="version" value="eleven"/>)"
                                          R"(<info name="copyright" value="x"/></meta>)" +
                                              flights + "</root>\n"},
        {"no XML", "<root><meta>"},
    };
    const fs::path generation = fs::path(kLearnedFile).parent_path() / "EDDF0.xml";
    for (const auto& [why, content] : refused) {
        SCOPED_TRACE(why);
        fs::create_directories(fs::path(kLearnedFile).parent_path());
        std::ofstream(kLearnedFile, std::ios::binary) << content;
        fs::remove(generation);
        const std::size_t before = log().size();
        load();
        learnAtStandOne("D-AIZA");
        save();
        EXPECT_EQ(contentOf(kLearnedFile), content);
        EXPECT_EQ(contentOf(generation), content) << "kept as one older generation";
        const std::string lines = log().substr(before);
        EXPECT_NE(lines.find("no learned file is written for EDDF in this visit"), std::string::npos) << lines;
        EXPECT_NE(lines.find(" 'airports/learned/my_simaddon/EDDF.xml' not saved: the learned file there was refused"),
                  std::string::npos)
            << lines;
        EXPECT_EQ(lines.find("saved with"), std::string::npos) << lines;
    }

    // The next visit with a file that is read saves again.
    fs::remove(kLearnedFile);
    load();
    save();
    EXPECT_TRUE(logHas("saved with 0 updates")) << log();
}

}  // namespace
}  // namespace qvl::test
