#include "airports/park_airport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "airports/apf_file.h"
#include "airports/support/airports_fixture.h"
#include "core/current_park_airport.h"
#include "core/geodesy.h"
#include "core/parameters.h"
#include "core/settings.h"
#include "platform/units.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::HttpResponse;
using test::standFile;
using test::writeFile;

// Metres as degrees of latitude on the program's earth.
double metresNorth(double metres) { return metres / kMetresPerNm / 60.0; }

class ParkAirport : public test::ArchiveFolder {
protected:
    void SetUp() override {
        ArchiveFolder::SetUp();
        airports(R"(<ap c="EHAM" la="52.3" lo="4.76" a="-11" s="210"/><ap c="EHRD" la="51.9" lo="4.4" a="-15" s="2"/>
                    <ap c="EHLE" la="52.4" lo="5.5" a="-13" s="1"/><ap c="EHGG" la="53.1" lo="6.5" a="17" s="40"/>)");
    }
    // A stand file of the user's simaddon folder; the path text gf_apfPathFor gives for it.
    std::string userFile(const char* icao, const std::string& xml) {
        const fs::path file = kMySimaddonFolder / (std::string(icao) + ".xml");
        writeFile(file, xml);
        return file.string();
    }
    std::string load(const std::string& pathText, const char* icao = "EHAM") {
        // The text the user reads: empty when loaded.
        const ApfLoadResult result = gf_readApf({.pathText = pathText, .icao = FixedCode4(icao)}, park, links);
        return result ? std::string() : result.errorText();
    }
    // One stand per flight list: every flight real, on day 3, slots 4 and 5.
    static std::string twoStands(double apartMetres, double radiusMetres) {
        return fmt::format(R"(<parkpos id="A" latitude="52.3" longitude="4.76" radius="{0}"/>
                              <parkpos id="B" latitude="{1:.12f}" longitude="4.76" radius="{0}"/>)",
                           radiusMetres, 52.3 + metresNorth(apartMetres));
    }

    CurrentParkAirportState parkAirport;
    RunState run;
    ParkAirportLinks links{.parkAirport = parkAirport, .range = range, .status = status, .run = run};
    const std::vector<std::pair<std::string, std::string>> header{
        {"airport_name", "Schiphol"}, {"publisher", "Pub"}, {"altitude", "-11"}, {"RT_traffic_week", "12"}};
};

TEST_F(ParkAirport, AUserFileIsReadInPlaceAndSummarised) {
    const std::atomic<int>& repaints = status.parkingStatsChanges;
    const auto flush = window.button(FLUSH_STATIC_BUTTON);
    window.controls().setEnabled(flush, false);
    const std::string path = userFile("EHAM", standFile(header, twoStands(100, 20)));
    EXPECT_EQ(load(path), "");
    ASSERT_EQ(park.parkStands.size(), 2U);
    EXPECT_EQ(park.parkStands[1].number, 2U);
    EXPECT_EQ(park.header.publisher, "Pub");
    EXPECT_EQ(park.elevationFeet, -11.0F);
    EXPECT_TRUE(parkAirport.standsLoaded());
    EXPECT_EQ(parkAirport.referenceElevation(), -11.0);
    EXPECT_TRUE(window.controls().isEnabled(flush));
    EXPECT_EQ(park.stats.snapshot().standCount, 2);
    EXPECT_EQ(status.counts.at(StatusCount::parkTrafficWeek), 12U);
    EXPECT_GE(repaints, 3);
    EXPECT_TRUE(logged("Airport file read from 'airports/my_simaddon/EHAM.xml' for Schiphol\n"));
    EXPECT_FALSE(fs::exists(kAirportsFolder / "park_airport.xml"));
}

TEST_F(ParkAirport, AnArchivedFileIsFetchedIntoParkAirportXml) {
    server.route("/downloads/MSFS/archive/stock/EHAM.xml", HttpResponse::ok(standFile(header, twoStands(100, 20))));
    EXPECT_EQ(load("archive/stock/EHAM.xml"), "");
    EXPECT_EQ(park.parkStands.size(), 2U);
    EXPECT_TRUE(fs::exists(kAirportsFolder / "park_airport.xml"));

    userFile("EHAM", standFile(header, twoStands(100, 20)));
    const std::string failed = load("Airports/my_simaddon/EHAM.xml");
    EXPECT_EQ(failed, "failed to download: '" + server.baseUrl() + "/downloads/MSFS/Airports/my_simaddon/EHAM.xml'")
        << "only \"airports\" in lower case is a local file";
    EXPECT_TRUE(park.parkStands.empty());
    EXPECT_FALSE(parkAirport.standsLoaded());
}

// The download runs on the run thread: a close must not wait for a site
// that never answers (the download's own time limit is minutes).
TEST_F(ParkAirport, ACloseEndsTheDownloadOfAnArchivedFile) {
    server.route("/downloads/MSFS/archive/stock/EHAM.xml", HttpResponse::silence());
    std::jthread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        run.recordUserClose();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(load("archive/stock/EHAM.xml"),
              "failed to download: '" + server.baseUrl() + "/downloads/MSFS/archive/stock/EHAM.xml'");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(park.parkStands.empty());
}

TEST_F(ParkAirport, FailuresGiveTheirTextAndLeaveNoStands) {
    parkAirport.setReferenceElevation(500.0);
    EXPECT_EQ(load(""), "gf_readApf: xml is empty");
    EXPECT_FALSE(parkAirport.referenceElevation()) << "no elevation of an airport that is not loaded";
    EXPECT_EQ(gf_readApf({.pathText = "airports/x.xml", .icao = {}}, park, links).errorText(),
              "gf_readApf: no park airport set");

    const std::string noAltitude = userFile("EHRD", standFile({{"airport_name", "R"}}, twoStands(100, 20)));
    EXPECT_EQ(load(noAltitude, "EHRD"), "65: Parameter altitude not found");
    EXPECT_TRUE(park.parkStands.empty());

    const std::string twice = userFile(
        "EHLE",
        standFile(header,
                  R"(<parkpos id="A" latitude="1" longitude="1"/><parkpos id="A" latitude="1" longitude="2"/>)"));
    EXPECT_EQ(load(twice, "EHLE"), "94: Stand 'A' appears more than once.");
    EXPECT_TRUE(park.parkStands.empty()) << "the stands read before the error are dropped";

    const std::string broken = userFile("EHGG", "<root><meta>");
    EXPECT_EQ(load(broken, "EHGG"), broken + ": could not load file: " + broken);
    const std::string noMeta = userFile("EHGG", "<root><parameters/></root>");
    EXPECT_EQ(load(noMeta, "EHGG"), noMeta + ": refused to load");
    EXPECT_EQ(load("airports/my_simaddon/NONE.xml"),
              "airports/my_simaddon/NONE.xml: could not load file: airports/my_simaddon/NONE.xml");

    const std::string empty = userFile("EHAM", standFile({{"altitude", "3"}}, ""));
    EXPECT_EQ(load(empty), "no stands found");
    EXPECT_EQ(park.header.publisher, "") << "nothing of the previous airport";
}

TEST_F(ParkAirport, TheOutcomeTellsLoadedFromNoStandsFromFailed) {
    const auto outcome = [&](const std::string& path, const char* icao) {
        const ApfLoadResult result = gf_readApf({.pathText = path, .icao = FixedCode4(icao)}, park, links);
        return result ? std::optional<ApfLoadError>() : result.error();
    };
    EXPECT_EQ(outcome(userFile("EHAM", standFile(header, twoStands(100, 20))), "EHAM"), std::nullopt);
    EXPECT_EQ(outcome(userFile("EHAM", standFile({{"altitude", "3"}}, "")), "EHAM"), ApfLoadError::noStands);
    EXPECT_EQ(outcome(userFile("EHRD", standFile({{"airport_name", "R"}}, twoStands(100, 20))), "EHRD"),
              ApfLoadError::failed);
    EXPECT_EQ(outcome("", "EHAM"), ApfLoadError::failed);
}

TEST_F(ParkAirport, StandsOverlapWhenTheirDistanceTimesOnePointOneIsBelowTheirRadii) {
    EXPECT_EQ(load(userFile("EHAM", standFile(header, twoStands(30, 20)))), "");
    EXPECT_EQ(park.parkStands[1].neighbours, std::vector<std::uint32_t>{1});
    EXPECT_EQ(load(userFile("EHAM", standFile(header, twoStands(30, 15)))), "");
    EXPECT_TRUE(park.parkStands[1].neighbours.empty()) << "33 m is not less than 30 m";
}

TEST_F(ParkAirport, TheLatitudeBandGivesTheNeighboursOfEveryPair) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> offset(-0.004, 0.004);
    std::uniform_real_distribution<double> radius(5.0, 60.0);
    std::vector<Stand> stands;
    for (int i = 0; i < 400; ++i) {
        stands.emplace_back("S" + std::to_string(i), std::vector<LearnedFlight>{},
                            StandPlacement{.latitude = 52.3 + offset(random), .longitude = 4.76 + offset(random)},
                            radius(random), StandKind{});
    }
    stands[5].latitude = stands[6].latitude;  // equal latitudes
    // Two of the widest stands 100 m apart north to south: they overlap
    // (110 m < 119.8 m), though each radius alone is far below 100 m.
    for (std::size_t i : {398U, 399U}) {
        stands[i].radius = 59.9 / kMetresPerNm;
        stands[i].longitude = 5.0;
    }
    stands[398].latitude = 53.0;
    stands[399].latitude = 53.0 + metresNorth(100.0);
    numberStands(stands);
    linkNeighbours(stands);
    std::size_t overlaps = 0;
    for (const Stand& a : stands) {
        std::vector<std::uint32_t> expected;
        for (const Stand& b : stands) {
            const double distance = gf_distanceNm({a.latitude, a.longitude}, {b.latitude, b.longitude});
            if (a.number != b.number && distance * 1.1 < a.radius + b.radius) expected.push_back(b.number);
        }
        ASSERT_EQ(a.neighbours, expected) << a.id;
        overlaps += expected.size();
    }
    EXPECT_GT(overlaps, 100U) << "the case has overlaps to find";
    EXPECT_EQ(stands[398].neighbours, std::vector<std::uint32_t>{400});
}

TEST_F(ParkAirport, QualityFactorsWithThePartsFigures) {
    Stand one("A", {}, {.latitude = 1.0, .longitude = 1.0, .heading = 0.0}, 30.0, {});
    LearnedFlight real;
    real.ordinal = 1;
    real.day = 3;
    real.hours = gf_hours2bitset("4:5");
    one.flights.push_back(real);
    EXPECT_EQ(gf_computeQualityFactors({one}), (QualityFactors{.real = 63, .soft = 0}));

    Stand heli = one;
    heli.heli = true;
    EXPECT_EQ(gf_computeQualityFactors({heli}), (QualityFactors{.real = 0, .soft = 0})) << "weight sum 0";
    Stand bare = one;
    bare.flights.clear();
    EXPECT_EQ(gf_computeQualityFactors({bare, bare}), (QualityFactors{.real = -1, .soft = -1}));
    EXPECT_EQ(gf_computeQualityFactors({one, bare}), (QualityFactors{.real = 32, .soft = 0}))
        << "a stand without flights still weighs";
    Stand wide = bare;
    wide.radius = 8.0;  // nautical miles: weight 1.5
    EXPECT_EQ(gf_computeQualityFactors({one, wide}), (QualityFactors{.real = 11, .soft = 0}));
    wide.radius = 12.0;  // weight 1.0
    EXPECT_EQ(gf_computeQualityFactors({one, wide}), (QualityFactors{.real = 15, .soft = 0}));
    LearnedFlight soft = real;
    soft.real = false;
    soft.day = 4;
    soft.hours = gf_hours2bitset("0:9");
    Stand both = one;
    both.flights.push_back(soft);
    both.flights.push_back(soft);
    EXPECT_EQ(gf_computeQualityFactors({both}), (QualityFactors{.real = 63, .soft = 64}))
        << "(40 + 10000 + 100 + 40) x 0.00625, rounded";
    one.flights[0].ordinal = 0;
    EXPECT_EQ(gf_computeQualityFactors({one}), (QualityFactors{.real = 0, .soft = 0})) << "ordinal 0 does not count";

    EXPECT_EQ(gf_qualityFactorText({.real = -1, .soft = -1}), "  ");
    EXPECT_EQ(gf_qualityFactorText({.real = 8, .soft = 40}), " 8/40");
}

TEST_F(ParkAirport, WithoutALearnedFileTheFactorsAdjustTheParkingSettings) {
    const auto percentage = window.combo(parking_percentage);
    window.controls().setEnabled(percentage, false);
    const auto hours = window.combo(MAX_FIT_FL);
    MAX_FIT_FL.setFloat(3.0F);
    auto withFactors = [&](const char* real, const char* soft) {
        auto rows = header;
        rows.emplace_back("Qf_real", real);
        rows.emplace_back("Qf_soft", soft);
        return standFile(rows, twoStands(100, 20));
    };
    EXPECT_EQ(load(userFile("EHRD", withFactors("2", "10")), "EHRD"), "");
    EXPECT_EQ(park.qualityFactors, (QualityFactors{.real = 2, .soft = 10}));
    EXPECT_TRUE(PARK_SOFT.value() && WEEK.value());
    EXPECT_EQ(window.controls().currentSelection(hours), 19) << "24 hours, the last entry";
    EXPECT_EQ(parking_percentage.value(), 50) << "the list gives EHRD two stands";
    EXPECT_TRUE(window.controls().isEnabled(percentage));

    EXPECT_EQ(load(userFile("EHGG", withFactors("20", "0")), "EHGG"), "");
    EXPECT_TRUE(PARK_SOFT.value() && WEEK.value()) << "left as they were";
    EXPECT_EQ(parking_percentage.value(), 30) << "40 stands";
    EXPECT_EQ(load(userFile("EHLE", withFactors("50", "0")), "EHLE"), "");
    EXPECT_FALSE(PARK_SOFT.value() || WEEK.value());
    EXPECT_EQ(parking_percentage.value(), 100) << "one stand";
    EXPECT_FALSE(fs::exists(parametersFile())) << "none of it is saved";

    EXPECT_EQ(load(userFile("EHAM", standFile(header, twoStands(100, 20)))), "");
    EXPECT_EQ(park.qualityFactors, (QualityFactors{.real = -1, .soft = -1})) << "no factors of the previous airport";
}

TEST_F(ParkAirport, ALearnedFileIsMergedAndTheFactorsRecomputed) {
    const std::string path = userFile("EHAM", standFile(header, twoStands(100, 20)));
    fs::create_directories(kLearnedFolder / "my_simaddon");
    writeFile(kLearnedFolder / "my_simaddon" / "EHAM.xml",
              standFile({{"airport_name", "Schiphol"}, {"RANGE", "20"}},
                        R"(<parkpos id="A"><opt reg="PH-A" airl="KLM" type="B738" hh="4:5" day="3"/></parkpos>)"));
    EXPECT_EQ(load(path), "");
    EXPECT_EQ(park.parkStands[0].flights.size(), 1U);
    EXPECT_EQ(park.qualityFactors, (QualityFactors{.real = 32, .soft = 0})) << "B weighs without flights";
    EXPECT_EQ(RANGE.value(), 20);
    EXPECT_EQ(park.storedSettings->range, 40) << "the user's radius from before the learned file";

    writeFile(kLearnedFolder / "my_simaddon" / "EHAM.xml",
              standFile({{"handmade", "true"}}, R"(<parkpos id="H" latitude="52" longitude="4" radius="20"/>)"));
    EXPECT_EQ(load(path), "");
    EXPECT_TRUE(park.apfHandmade);
    EXPECT_TRUE(logged("Airport file read from 'airports/learned/my_simaddon/EHAM.xml' for Schiphol"));
}

TEST_F(ParkAirport, LeavingPutsTheUsersSettingsBackAndSavesThem) {
    const auto rangeCombo = window.combo(RANGE);
    const auto height = window.combo(AR_ABOVE_HEIGHT);
    window.checkBox(PARK_SOFT);
    AUTO_RANGE.set(false);
    gf_applyApfSettings(park, status);
    EXPECT_FALSE(fs::exists(parametersFile())) << "nothing loaded, nothing to put back";

    const std::string path = userFile("EHRD", standFile(header, twoStands(100, 20)));
    fs::create_directories(kLearnedFolder / "my_simaddon");
    writeFile(kLearnedFolder / "my_simaddon" / "EHRD.xml",
              standFile({{"RANGE", "65"}, {"AUTO_RANGE", "true"}, {"MAX_FIT", "9"}, {"parking_percentage", "80"}}, ""));
    ASSERT_EQ(load(path, "EHRD"), "");
    EXPECT_EQ(RANGE.value(), 65);
    PARK_SOFT.set(true);

    gf_applyApfSettings(park, status);
    EXPECT_EQ(RANGE.value(), 40);
    EXPECT_EQ(window.selected(rangeCombo), "40");
    EXPECT_FALSE(AUTO_RANGE.value());
    EXPECT_FALSE(window.controls().isEnabled(height));
    EXPECT_EQ(MAX_FIT_FL.floatValue(), 24.0F);
    EXPECT_EQ(parking_percentage.value(), 30);
    EXPECT_FALSE(window.controls().isChecked(PARK_SOFT.controlHandle()));
    // The file is written off the caller's thread.
    ASSERT_TRUE(parameterSaves().drain(std::chrono::seconds(10)));
    const std::string saved = test::readFile(parametersFile());
    for (const char* row : {R"(name="RANGE" value="40")", R"(name="AUTO_RANGE" value="false")",
                            R"(name="MAX_FIT" value="47")", R"(name="PARK_SOFT" value="false")"}) {
        EXPECT_NE(saved.find(row), std::string::npos) << row;
    }
}

TEST_F(ParkAirport, PublisherInfoNamesAMakerOrNot) {
    auto file = [&](const std::vector<std::pair<std::string, std::string>>& rows) {
        const fs::path f = kMyThirdpartyFolder / "X.xml";
        writeFile(f, standFile(rows, ""));
        return lf_readApfPublisherInfo(f);
    };
    EXPECT_TRUE(file({{"publisher", "Pub"}}));
    EXPECT_TRUE(file({{"publisher", ""}, {"manufacturer", "Abcd"}}));
    EXPECT_TRUE(file({{"creator", "Abcde"}}));
    EXPECT_FALSE(file({{"manufacturer", "Abc"}, {"creator", "Vardo"}}));
    EXPECT_FALSE(file({}));
    EXPECT_FALSE(lf_readApfPublisherInfo(kMyThirdpartyFolder / "none.xml"));
}

}  // namespace
}  // namespace qvl
