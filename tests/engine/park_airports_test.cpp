// The park airports on real files in the test's own program folder: the
// airport list encrypted as shipped, my_park_airports.txt and the user's
// stand files, the stand file loaded by the program's reader.
#include "engine/parking/park_airports.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "airports/apf_file.h"
#include "airports/closest_stand.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/settings.h"
#include "engine/base/user_stand_exchange.h"
#include "engine/parking/parking_cycle.h"
#include "engine/stands/stands.h"
#include "platform/units.h"
#include "refdata/airports.h"
#include "refdata/data_file.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "simlink/support/complete_hooks.h"
#include "support/engine_harness.h"
#include "support/http_server.h"

namespace qvl::test {
namespace {

namespace fs = std::filesystem;

// The airports lie on one meridian; a sixtieth of a degree of latitude is
// one nautical mile.
constexpr double kLatitude = 10.0;
constexpr double kLongitude = 20.0;
GeoPosition north(double nm) { return {.latitude = kLatitude + nm / 60.0, .longitude = kLongitude}; }

// EHAM has a stand file; D4 at the airport's point, A12 half a mile north.
const GeoPosition kStandD4 = north(0.0);
const GeoPosition kStandA12 = north(0.5);

class ParkAirportsTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        previousFolder_ = fs::current_path();
        fs::current_path(dir.path());
        for (const fs::path& folder : {kInputFolder, kMyThirdpartyFolder, kMySimaddonFolder}) {
            fs::create_directories(folder);
        }
        airportList({{"EHAM", "AMS", 0.0}, {"LFPG", "CDG", -12.0}, {"EDDF", "FRA", 30.0}, {"EGLL", "LHR", 100.0}});
    }
    void TearDown() override {
        // No question may still read the airport list as it goes.
        state.parking.groundQuestion.forget();
        EXPECT_TRUE(questionEnds());
        resetAirportList();
        // A save left to the writer writes into the test's folder, not the next one's.
        EXPECT_TRUE(learnedSaved());
        fs::current_path(previousFolder_);
        EngineTest::TearDown();
    }

    struct Listed {
        const char* icao;
        const char* code3;
        double northNm;
    };
    void airportList(const std::vector<Listed>& airports) {
        std::string xml = "<?xml version=\"1.0\"?>\n<root><airports>\n";
        for (const Listed& a : airports) {
            const GeoPosition at = north(a.northNm);
            xml += fmt::format(R"(<ap c="{}" i="{}" la="{:.17g}" lo="{:.17g}" a="-11" s="0"/>)", a.icao, a.code3,
                               at.latitude, at.longitude) +
                   "\n";
        }
        writeFile(dir / "plain.tmp", xml + "</airports></root>\n");
        ASSERT_TRUE(streamEncrypt(dir / "plain.tmp", kAirportsEnc));
        resetAirportList();
        ASSERT_TRUE(gf_readAirports());
    }
    // Both come after the saves handed to the writer before.
    void parkAirportsFile(const std::string& text) {
        EXPECT_TRUE(learnedSaved());
        writeFile(kMyParkAirportsTxt, text);
    }
    std::string parkAirportsFile() {
        EXPECT_TRUE(learnedSaved());
        return readFile(kMyParkAirportsTxt);
    }

    // EHAM's stand file in the user's folder of simulator add-ons.
    static void ehamStandFile() {
        ApfRecord record;
        record.icao = FixedCode4("EHAM");
        record.airportName = "Schiphol";
        record.publisher = "Test";
        record.altitude = -11;
        record.stands.emplace_back("D4", std::vector<LearnedFlight>{},
                                   StandPlacement{.latitude = kStandD4.latitude, .longitude = kStandD4.longitude}, 30.0,
                                   StandKind{});
        record.stands.emplace_back("A12", std::vector<LearnedFlight>{},
                                   StandPlacement{.latitude = kStandA12.latitude, .longitude = kStandA12.longitude},
                                   30.0, StandKind{});
        ASSERT_TRUE(gf_saveApf(record, kMySimaddonFolder / "EHAM.xml",
                               {.mode = ApfMode::generated, .simNumber = 1, .handmade = false}));
    }

    // The codes and reserved stands of the list, "EHAM,D4" or "EDDF".
    [[nodiscard]] std::vector<std::string> listed() const {
        std::vector<std::string> out;
        for (const ParkAirport& a : state.parking.parkAirports) {
            out.push_back(std::string(a.icao.view()) + (a.reservedStand.empty() ? "" : "," + a.reservedStand));
        }
        return out;
    }

    void onGroundAt(GeoPosition at) {
        user.latitude = at.latitude;
        user.longitude = at.longitude;
        user.onGround = true;
        user.aboveGround = 0.0;
    }
    void airborneAt(GeoPosition at, double aboveGroundFeet) {
        user.latitude = at.latitude;
        user.longitude = at.longitude;
        user.onGround = false;
        user.aboveGround = aboveGroundFeet;
    }
    // What the 16-second step does while no park airport is current.
    void chooseFrom(GeoPosition at) {
        lf_updateParkAirportDistances(engine, at);
        lf_findParkAirport(engine, user, true);
    }
    // The question a step asked on the ground runs off the loop: true once
    // it has ended (within a bound far beyond a local file's read).
    [[nodiscard]] bool questionEnds() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!state.parking.groundQuestion.idle()) {
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // On the ground the first step asks which airport it is, and a later
    // step, not the run's first, takes the answer.
    void askAndTake(GeoPosition at) {
        ASSERT_TRUE(questionEnds()) << "a question an earlier step asked";
        chooseFrom(at);
        EXPECT_EQ(current(), "none") << "the step that asks never waits for the answer";
        ASSERT_TRUE(questionEnds());
        lf_findParkAirport(engine, user, false);
    }
    [[nodiscard]] std::string current() const {
        const auto airport = parkAirport.current();
        return airport ? std::string(airport->code.view()) : std::string("none");
    }
    // EHAM made current and its stands loaded, the user standing as set.
    void loadEham() {
        ehamStandFile();
        ASSERT_TRUE(lf_setParkAirport(engine, FixedCode4("EHAM")));
        ASSERT_TRUE(lf_readParkedFile(engine).ok());
    }
    [[nodiscard]] Stand& standNamed(const std::string& id) {
        for (Stand& s : stands.park.parkStands) {
            if (s.id == id) return s;
        }
        throw std::out_of_range(id);
    }
    static std::string message() { return messageLines().message; }

    // The stand-in simulator with the user parked at `at`, and the link
    // wired as the program wires it: the user's stand is named from the
    // stands the engine published and handed back through the same exchange.
    void userInTheSimulatorAt(GeoPosition at) {
        connectStandIn();
        sim->teleportUser(at.latitude, at.longitude);
        link.hooks.publish(completeHooks(
            {.onSimObjectData = [this](const SimObjectDataReply& r) { lf_onSimObjectData(link, run, userData, r); },
             .userAircraft = [this] { return userData.block(); },
             .standNameAtPosition =
                 [this](const GeoPosition& position) {
                     if (!userData.onGround().has_value()) return std::string{};
                     return state.userStandExchange.standNameAt(position);
                 },
             .reserveUserStand =
                 [this](const std::string& stand) { state.userStandExchange.handOverUserStand(stand); }}));
        userData.setOnGround(true);
    }
    // One frame of the simulator on the calling thread.
    void frame() {
        clock->advance(sim->frameInterval());
        ASSERT_TRUE(dispatchOnce(link, run, *handle));
    }
    // The simulator sends the user block; the link stores it and names the stand.
    std::string userStandOnTheLink() {
        link.withConnection([](sim::SimConnection& connection) {
            connection.requestDataOnSimObject(reqUserBlock, defUserBlock, sim::kUserObject, sim::Period::once);
        });
        frame();
        return userData.block().stand;
    }

    std::vector<ParkingDisplay>& shown = status.shown;
    int& disabled = status.updateStarts;
    int& collecting = collectedCallsigns.starts;
    std::atomic<bool>& updateRunning = state.parking.update.running;
    // The DESTINATION field as last reported usable or not.
    [[nodiscard]] bool destinationEnabled() const {
        const std::vector<bool> states = status.usableStates(DESTINATION);
        return !states.empty() && states.back();
    }

private:
    fs::path previousFolder_;
};

// --- my_park_airports.txt and my_thirdparty ---

TEST_F(ParkAirportsTest, LinesAreReadWithFoldedCodesAndTheirStandsAndBadLinesAreSkipped) {
    parkAirportsFile(
        "eham,D4\r\nEHAM,D4,x\r\nEDDF\r\n\r\n  Eham , B1 \r\nEDDF,B2\r\n egll , C1 \r\nKJFK\r\nTOOLONG,A1\r\n");
    EXPECT_FALSE(lf_readMyParkAirports(engine)) << "unknown airports make the result false";
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM,D4", "EDDF", "EGLL,C1"}));
    EXPECT_TRUE(logHas("==> my_park_airports.txt:EHAM,D4,x wrong syntax, skipped"));
    EXPECT_TRUE(logHas("==> my_park_airports.txt:Eham double, skipped"));
    EXPECT_TRUE(logHas("==> my_park_airports.txt:EDDF double, skipped"));
    EXPECT_EQ(message(), "airport TOOLONG is unknown");
    EXPECT_TRUE(logHas("\n    3 park airports read from 'my_park_airports.txt'\n"));
    EXPECT_EQ(state.parking.parkAirports.front().position.latitude, kLatitude);
}

TEST_F(ParkAirportsTest, AFileSavedAsUtf16IsReadAsWell) {
    writeFile(kMyParkAirportsTxt, std::string("\xFF\xFE"
                                              "E\0H\0A\0M\0,\0D\0"
                                              "4\0\r\0\n\0",
                                              20));
    EXPECT_TRUE(lf_readMyParkAirports(engine));
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM,D4"}));
}

TEST_F(ParkAirportsTest, ThirdPartyStandFilesJoinTheListAndABadlyNamedOneIsSkipped) {
    for (const char* name : {"-bad-.xml", "EGLL.xml", "EHAM.xml", "LFPG.txt", "ZZZZ.xml", "notes.txt"}) {
        writeFile(kMyThirdpartyFolder / name, "x");
    }
    fs::create_directories(kMyThirdpartyFolder / "EDDF");
    EXPECT_TRUE(lf_readMyParkAirports(engine)) << "no my_park_airports.txt";
    EXPECT_TRUE(logHas("airports/my_park_airports.txt not found"));
    // The badly named file sorts first; the reading goes on behind it.
    EXPECT_EQ(listed(), (std::vector<std::string>{"EGLL", "EHAM", "LFPG"}));
    EXPECT_TRUE(logHas("==> airports/my_thirdparty/-bad-.xml: FixedCode: invalid string (length/charset), skipped"));
    EXPECT_TRUE(logHas("notes.txt: FixedCode: invalid string (length/charset), skipped"));

    parkAirportsFile("LFPG,K1\n");
    EXPECT_TRUE(lf_readMyParkAirports(engine));
    EXPECT_EQ(listed(), (std::vector<std::string>{"LFPG,K1", "EGLL", "EHAM"})) << "a listed airport keeps its line";
}

TEST_F(ParkAirportsTest, TheFirstEntryIsWrittenBackSortedOnceAndMatchedWithoutCase) {
    parkAirportsFile("LFPG\nehAm,D4\n EDDF\nEDDF\n\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    ASSERT_EQ(listed().front(), "LFPG");
    state.parking.parkAirports.splice(state.parking.parkAirports.begin(), state.parking.parkAirports,
                                      std::next(state.parking.parkAirports.begin()));
    state.parking.parkAirports.front().reservedStand = "D7";
    gf_addParkAirport(engine);
    EXPECT_EQ(parkAirportsFile(), "EDDF\nEHAM,D7\nLFPG\n");
    EXPECT_TRUE(logHas("my_park_airports.txt:EHAM,D7 updated stand"));

    gf_pushParkAirport(engine, FixedCode4("EGLL"), north(100.0));
    EXPECT_EQ(parkAirportsFile(), "EDDF\nEGLL\nEHAM,D7\nLFPG\n");
    EXPECT_TRUE(logHas("my_park_airports.txt:EGLL new entry"));
    EXPECT_EQ(listed().front(), "EGLL");
    // Written through a temporary file that is gone again.
    EXPECT_EQ(std::distance(fs::directory_iterator(kAirportsFolder), fs::directory_iterator{}), 3);
}

TEST_F(ParkAirportsTest, APushedAirportIsSavedByTheWriterWhileTheStepGoesOn) {
    parkAirportsFile("EDDF\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    stands.learnedFiles->close();
    gf_pushParkAirport(engine, FixedCode4("EGLL"), north(100.0));
    // The step has returned with the list changed while the disk is held.
    EXPECT_EQ(listed(), (std::vector<std::string>{"EGLL", "EDDF"}));
    ASSERT_TRUE(stands.learnedFiles->waitForWaiter());
    EXPECT_EQ(readFile(kMyParkAirportsTxt), "EDDF\n");
    stands.learnedFiles->open();
    EXPECT_EQ(parkAirportsFile(), "EDDF\nEGLL\n");
    EXPECT_EQ(stands.learnedFiles->passed(), std::vector<std::string>{"replace my_park_airports.txt"});
}

TEST_F(ParkAirportsTest, AReadAskedAfterASaveSeesIt) {
    parkAirportsFile("EDDF\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    stands.learnedFiles->close();
    gf_pushParkAirport(engine, FixedCode4("EGLL"), north(100.0));
    ASSERT_TRUE(stands.learnedFiles->waitForWaiter());
    std::future<ParkAirportsFile> read = readParkAirportsFileInTurn(engine);
    EXPECT_NE(read.wait_for(std::chrono::milliseconds(50)), std::future_status::ready) << "queued behind the save";
    stands.learnedFiles->open();
    ASSERT_EQ(read.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(read.get().lines, (std::vector<std::string>{"EDDF", "EGLL"}));
}

TEST_F(ParkAirportsTest, AMissingFileIsCreatedWithThePushedAirport) {
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    gf_pushParkAirport(engine, FixedCode4("EDDF"), north(30.0));
    EXPECT_EQ(parkAirportsFile(), "EDDF\n");
    EXPECT_TRUE(logHas("my_park_airports.txt created with EDDF"));
}

TEST_F(ParkAirportsTest, AnAirportPushedAgainMovesToTheFrontUnchanged) {
    parkAirportsFile("EDDF\nEHAM,D4\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    gf_pushParkAirport(engine, FixedCode4("EHAM"), north(50.0));
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM,D4", "EDDF"}));
    EXPECT_EQ(state.parking.parkAirports.front().position.latitude, kLatitude);
    EXPECT_EQ(parkAirportsFile(), "EDDF\nEHAM,D4\n");
}

TEST_F(ParkAirportsTest, AReReadListIsSortedAgainAtTheSamePosition) {
    parkAirportsFile("EDDF\nEHAM\nLFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    lf_updateParkAirportDistances(engine, north(-5.0));
    ASSERT_EQ(listed(), (std::vector<std::string>{"EHAM", "LFPG", "EDDF"}));
    const auto checked = gf_checkParkAirports(engine, false);
    ASSERT_TRUE(checked);
    EXPECT_EQ(*checked, "park airports and stands are okay");
    lf_updateParkAirportDistances(engine, north(-5.0));
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM", "LFPG", "EDDF"}));
    EXPECT_NEAR(state.parking.parkAirports.back().distance, 35.0, 1e-9);
}

// --- Choosing and leaving ---

TEST_F(ParkAirportsTest, AirborneTheNearestInSightIsTakenWithinRangeAndHeight) {
    parkAirportsFile("EDDF\nEHAM\nLFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    airborneAt(north(-5.0), 19000.0);
    chooseFrom(north(-5.0));
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM", "LFPG", "EDDF"})) << "nearest first";
    EXPECT_EQ(current(), "none") << "above AIRP_HEIGHT";
    EXPECT_TRUE(destinationEnabled());

    user.aboveGround = 3000.0;
    lf_findParkAirport(engine, user, true);
    EXPECT_EQ(current(), "EHAM");
    EXPECT_EQ(message(), "EHAM in sight at 5.0 nm");
    EXPECT_TRUE(logHas("EHAM in sight at 5.0 nm"));
    EXPECT_TRUE(state.parking.loadPending);
    EXPECT_EQ(disabled, 1);
    EXPECT_EQ(collecting, 1);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().parkAirportLabel, "EHAM (AMS)");
    EXPECT_TRUE(logHas("\nThe park airport is EHAM (AMS)"));
}

TEST_F(ParkAirportsTest, TheDestinationStaysFirstAndIsTakenOnceInSight) {
    parkAirportsFile("EHAM\nLFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    setForTest(DESTINATION, std::string("EDDF"));
    gf_pushParkAirport(engine, FixedCode4("EDDF"), north(30.0));
    airborneAt(north(-5.0), 3000.0);
    chooseFrom(north(-5.0));
    EXPECT_EQ(listed(), (std::vector<std::string>{"EDDF", "EHAM", "LFPG"}));
    EXPECT_EQ(current(), "none") << "EDDF is 35 nm away, EHAM nearer but not the destination";

    airborneAt(north(12.0), 3000.0);
    chooseFrom(north(12.0));
    EXPECT_EQ(listed().front(), "EDDF");
    EXPECT_EQ(current(), "EDDF");
    EXPECT_EQ(message(), "EDDF in sight at 18.0 nm");
}

TEST_F(ParkAirportsTest, OnTheGroundTheAirportWithAStandFileIsTaken) {
    ehamStandFile();
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(north(0.2));
    askAndTake(north(0.2));
    EXPECT_EQ(current(), "EHAM");
    EXPECT_TRUE(logHas("User aircraft on the ground at EHAM (AMS)"));
    EXPECT_EQ(message(), "Calculating static parked aircraft ...");
    EXPECT_TRUE(state.parking.loadPending);
    EXPECT_EQ(disabled, 1);
    EXPECT_TRUE(updateRunning.load()) << "the engine says so itself, not the window it tells";
    EXPECT_FALSE(destinationEnabled()) << "only airborne";
}

TEST_F(ParkAirportsTest, AnAnswerIsTakenTheSecondItComesAndOneThatChoosesNothingIsLeftToTheNextStep) {
    ehamStandFile();
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(north(30.0));
    chooseFrom(north(30.0));
    ASSERT_TRUE(questionEnds());
    EXPECT_FALSE(takeGroundAnswerNow(engine)) << "EDDF has no stand file";
    EXPECT_EQ(current(), "none");
    chooseFrom(north(30.0));
    EXPECT_TRUE(state.parking.groundQuestion.asking()) << "the next step asks again";

    onGroundAt(north(0.2));
    ASSERT_TRUE(questionEnds());
    chooseFrom(north(0.2));
    ASSERT_TRUE(questionEnds());
    EXPECT_TRUE(takeGroundAnswerNow(engine));
    EXPECT_EQ(current(), "EHAM") << "taken without waiting for the next step";
    EXPECT_TRUE(state.parking.loadPending);
    EXPECT_EQ(message(), "Calculating static parked aircraft ...");
    EXPECT_FALSE(takeGroundAnswerNow(engine)) << "taken once";
}

TEST_F(ParkAirportsTest, OnTheGroundWithoutAStandFileOrAnAirportNothingIsTaken) {
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(north(30.0));
    askAndTake(north(30.0));
    EXPECT_EQ(message(), "User aircraft on the ground at EDDF (FRA), no airport file found");
    onGroundAt(north(60.0));
    askAndTake(north(60.0));
    EXPECT_EQ(message(), "User aircraft on the ground, no RT supported airport in sight");
    EXPECT_EQ(current(), "none");
    EXPECT_FALSE(state.parking.loadPending);
    EXPECT_EQ(disabled, 0);
    EXPECT_FALSE(updateRunning.load());
}

TEST_F(ParkAirportsTest, NoPositionYetNeverChooses) {
    parkAirportsFile("EHAM\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    // No distance has been computed: the first entry still says 0 nm.
    airborneAt({.latitude = 0.00005, .longitude = -0.00005}, 0.0);
    lf_findParkAirport(engine, user, true);
    EXPECT_EQ(current(), "none");
    EXPECT_FALSE(state.parking.loadPending);
}

TEST_F(ParkAirportsTest, LeavingIsAskedForWhenOutOfSightOrAnotherIsNearer) {
    parkAirportsFile("EHAM\nLFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    ASSERT_TRUE(lf_setParkAirport(engine, FixedCode4("EHAM")));
    airborneAt(north(-3.0), 3000.0);
    lf_updateParkAirportDistances(engine, north(-3.0));
    lf_checkParkAirportInSight(engine, user);
    EXPECT_FALSE(logHas("removed")) << "EHAM is nearest and in sight: it stays";

    onGroundAt(north(-40.0));
    lf_checkParkAirportInSight(engine, user);
    EXPECT_FALSE(logHas("removed")) << "on the ground nothing happens";

    airborneAt(north(-8.0), 3000.0);
    lf_updateParkAirportDistances(engine, north(-8.0));
    lf_checkParkAirportInSight(engine, user);
    EXPECT_TRUE(logHas(" LFPG is in sight (4.0 nm), parked aircraft at EHAM (AMS) will be removed first"));
    EXPECT_FALSE(parkAirport.current()) << "leaving forgets the park airport";

    ASSERT_TRUE(lf_setParkAirport(engine, FixedCode4("EHAM")));
    airborneAt(north(25.0), 3000.0);
    lf_checkParkAirportInSight(engine, user);
    EXPECT_TRUE(logHas(" EHAM (AMS) is out of sight (25.0 nm), parked aircraft will be removed"));
}

// LFPG's stand file is archived, and the download site that serves it
// stalls; the program's download base points at the site while it lives.
struct StalledLfpgArchive {
    StalledLfpgArchive() {
        server.route(archived, HttpResponse::stall("<root>"));
        setenv("QVL_DOWNLOAD_BASE", (server.baseUrl() + "/downloads/").c_str(), 1);
        writeFile(kMySimaddonFolder / "LFPG.txt", "archive/simaddon/LFPG.xml\n");
    }
    ~StalledLfpgArchive() { unsetenv("QVL_DOWNLOAD_BASE"); }
    StalledLfpgArchive(const StalledLfpgArchive&) = delete;
    StalledLfpgArchive& operator=(const StalledLfpgArchive&) = delete;

    HttpServer server;
    const std::string archived = "/downloads/MSFS/archive/simaddon/LFPG.xml";
};

// LFPG's stand file is archived and its download stalls; EHAM's is the
// user's own. Flying on past LFPG to EHAM while LFPG's file still comes
// stops that download, and EHAM's read begins in the same step.
TEST_F(ParkAirportsTest, AnotherAirportChosenWhileTheStandFileDownloadsStopsItAndLoadsAtOnce) {
    StalledLfpgArchive site;
    HttpServer& server = site.server;
    const std::string& archived = site.archived;
    ehamStandFile();
    parkAirportsFile("EHAM\nLFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    airborneAt(north(-10.0), 3000.0);
    gf_updateStaticParking(engine, false);
    ASSERT_EQ(current(), "LFPG");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server.requestedPaths().empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(server.requestedPaths(), std::vector<std::string>{archived}) << "LFPG's download has begun";

    airborneAt(north(-1.0), 3000.0);
    gf_updateStaticParking(engine, false);
    EXPECT_TRUE(logHas(" EHAM is in sight (1.0 nm), parked aircraft at LFPG (CDG) will be removed first")) << log();
    ASSERT_EQ(current(), "EHAM");
    EXPECT_TRUE(state.parking.loadPending);
    while (state.parking.loadPending && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        gf_updateStaticParking(engine, false);
    }
    EXPECT_FALSE(state.parking.loadPending);
    EXPECT_TRUE(parkAirport.standsLoaded());
    ASSERT_EQ(stands.park.parkStands.size(), 2U);
    EXPECT_EQ(stands.park.parkStands[0].id, "D4");
    const std::string stopped = "Download of " + server.baseUrl() + archived + " stopped";
    while (!logHas(stopped) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(logHas(stopped)) << log();
}

// Out of sight of every airport while LFPG's file still comes: the download
// stops, and no load waits for it.
TEST_F(ParkAirportsTest, FlyingOutOfSightWhileTheStandFileDownloadsStopsIt) {
    StalledLfpgArchive site;
    HttpServer& server = site.server;
    const std::string& archived = site.archived;
    parkAirportsFile("LFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    airborneAt(north(-10.0), 3000.0);
    gf_updateStaticParking(engine, false);
    ASSERT_EQ(current(), "LFPG");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server.requestedPaths().empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(server.requestedPaths().empty()) << "LFPG's download has begun";

    airborneAt(north(-60.0), 3000.0);
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(current(), "none");
    EXPECT_FALSE(state.parking.loadPending);
    EXPECT_FALSE(updateRunning.load());
    const std::string stopped = "Download of " + server.baseUrl() + archived + " stopped";
    while (!logHas(stopped) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(logHas(stopped)) << log();
}

// --- The airport the user stands at, asked off the loop ---

// EHLE lies 0.2 nm from the user, EHAM 0.8 nm: both within reach, so their
// stand files are compared, and EHLE's is archived on a site whose answer
// is held back (or stalls for good).
class GroundQuestionTest : public ParkAirportsTest {
protected:
    void SetUp() override {
        ParkAirportsTest::SetUp();
        airportList({{"EHAM", "AMS", 0.0}, {"EHLE", "LEY", 1.0}, {"EDDF", "FRA", 30.0}});
        ehamStandFile();
        writeFile(kMySimaddonFolder / "EHLE.txt", "archive/simaddon/EHLE.xml\n");
        setenv("QVL_DOWNLOAD_BASE", (server.baseUrl() + "/downloads/").c_str(), 1);
        ASSERT_TRUE(lf_readMyParkAirports(engine));
        onGroundAt(north(0.8));
    }
    void TearDown() override {
        ParkAirportsTest::TearDown();
        unsetenv("QVL_DOWNLOAD_BASE");
    }
    // The step has asked, and the question waits for EHLE's stand file.
    [[nodiscard]] bool downloadBegun() const {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (server.requestedPaths().empty() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return server.requestedPaths() == std::vector<std::string>{kArchived};
    }

    static constexpr const char* kArchived = "/downloads/MSFS/archive/simaddon/EHLE.xml";
    const std::string ehleStands = fmt::format(
        R"(<root><parkpositions><parkpos id="L7" latitude="{:.17g}" longitude="{:.17g}"/></parkpositions></root>)",
        north(0.8).latitude, north(0.8).longitude);
    HttpServer server;
};

TEST_F(GroundQuestionTest, TheStepReturnsWhileAStandFileDownloadsAndTheAirportIsChosenWhenItComes) {
    server.route(kArchived, HttpResponse::held(ehleStands));
    gf_updateStaticParking(engine, true);
    ASSERT_TRUE(downloadBegun());
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(current(), "none") << "the download still stalls";
    EXPECT_FALSE(state.parking.loadPending);

    server.release();
    ASSERT_TRUE(questionEnds());
    lf_findParkAirport(engine, user, false);
    EXPECT_EQ(current(), "EHLE") << log();
    EXPECT_TRUE(logHas("Airport EHLE is closest, neighbour is EHAM"));
    EXPECT_TRUE(logHas("User aircraft on the ground at EHLE (LEY)"));
    EXPECT_EQ(message(), "Calculating static parked aircraft ...") << "the run's first step asked";
    EXPECT_TRUE(state.parking.loadPending);
    EXPECT_TRUE(updateRunning.load());
    EXPECT_FALSE(fs::exists(kClosestStandTempFile));
}

TEST_F(GroundQuestionTest, ACloseStopsAStalledQuestionAndSoDoesTheRunsEnd) {
    server.route(kArchived, HttpResponse::stall(ehleStands));
    gf_updateStaticParking(engine, false);
    ASSERT_TRUE(downloadBegun());
    run.recordUserClose();
    gf_updateStaticParking(engine, false);
    EXPECT_TRUE(questionEnds()) << "the download was stopped, not left to its two minutes";
    EXPECT_FALSE(fs::exists(kClosestStandTempFile));

    // The run ends while the next question stalls: it is stopped, and the
    // next run asks afresh.
    run.reset();
    (void)state.parking.groundQuestion.take();
    gf_updateStaticParking(engine, false);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server.requestedPaths().size() < 2 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(server.requestedPaths().size(), 2U);
    state.parking.reset();
    EXPECT_FALSE(state.parking.groundQuestion.asking());
    EXPECT_TRUE(questionEnds());
}

TEST_F(GroundQuestionTest, AnAnswerAfterTheUserMovedFarOrTookOffIsDropped) {
    server.route(kArchived, HttpResponse::ok(ehleStands));
    gf_updateStaticParking(engine, true);
    ASSERT_TRUE(questionEnds());
    onGroundAt(north(30.0));
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(current(), "none") << "EHLE was the answer for where the user stood";
    EXPECT_FALSE(logHas("User aircraft on the ground at EHLE"));
    ASSERT_TRUE(questionEnds());
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(message(), "User aircraft on the ground at EDDF (FRA), no airport file found");

    // Asked at EHLE, answered after take-off, landed back at EHLE: the next
    // step asks again instead of taking the old answer.
    onGroundAt(north(0.8));
    gf_updateStaticParking(engine, false);
    ASSERT_TRUE(questionEnds());
    airborneAt(north(0.8), 19000.0);
    gf_updateStaticParking(engine, false);
    EXPECT_FALSE(state.parking.groundQuestion.asking());
    onGroundAt(north(0.8));
    gf_updateStaticParking(engine, false);
    EXPECT_EQ(current(), "none");
    ASSERT_TRUE(questionEnds());
    lf_findParkAirport(engine, user, false);
    EXPECT_EQ(current(), "EHLE");
}

// --- The stands and the reserved stand ---

TEST_F(ParkAirportsTest, StandingOnAStandAtTheLoadMakesItTheReservedStandInTheFile) {
    parkAirportsFile("EHAM\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(kStandA12);
    loadEham();
    EXPECT_EQ(parkAirportsFile(), "EHAM,A12\n");
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM,A12"}));
    EXPECT_EQ(state.parking.display.reservedStand, "A12");
    EXPECT_TRUE(state.parking.display.reservedStandValid);
    EXPECT_EQ(state.parking.display.airportName, "Schiphol");
    EXPECT_EQ(stands.park.learnedUpdates, 0);
    EXPECT_EQ(shown.back(), state.parking.display);
    EXPECT_TRUE(parkAirport.standsLoaded());
    EXPECT_TRUE(isReservedStand(engine, standNamed("A12")));
    EXPECT_FALSE(isReservedStand(engine, standNamed("D4")));
}

TEST_F(ParkAirportsTest, FlyingOverAStandAtTheLoadKeepsTheStoredStand) {
    parkAirportsFile("EHAM,D4\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    airborneAt(kStandA12, 1500.0);
    loadEham();
    EXPECT_EQ(parkAirportsFile(), "EHAM,D4\n");
    EXPECT_EQ(state.parking.display.reservedStand, "D4");
}

TEST_F(ParkAirportsTest, AnAirportTheListLacksIsAddedWithTheUsersStand) {
    parkAirportsFile("LFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(kStandD4);
    loadEham();
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM,D4", "LFPG"}));
    EXPECT_EQ(parkAirportsFile(), "EHAM,D4\nLFPG\n");
}

TEST_F(ParkAirportsTest, WithADestinationTheLoadKeepsItFirstAndKeepsTheStoredStand) {
    parkAirportsFile("EHAM,D4\nLFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    setForTest(DESTINATION, std::string("EDDF"));
    gf_pushParkAirport(engine, FixedCode4("EDDF"), north(30.0));
    onGroundAt(north(0.25));  // on the apron, on no stand
    loadEham();
    EXPECT_EQ(listed(), (std::vector<std::string>{"EDDF", "EHAM,D4", "LFPG"}));
    EXPECT_EQ(parkAirportsFile(), "EDDF\nEHAM,D4\nLFPG\n");
    EXPECT_EQ(state.parking.display.reservedStand, "D4");
}

TEST_F(ParkAirportsTest, WithADestinationAnAirportTheListLacksGoesBehindIt) {
    parkAirportsFile("LFPG\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    setForTest(DESTINATION, std::string("EDDF"));
    gf_pushParkAirport(engine, FixedCode4("EDDF"), north(30.0));
    onGroundAt(kStandD4);
    loadEham();
    EXPECT_EQ(listed(), (std::vector<std::string>{"EDDF", "EHAM,D4", "LFPG"}));
}

TEST_F(ParkAirportsTest, AStandFileThatIsMissingGivesTheErrorText) {
    ASSERT_TRUE(lf_setParkAirport(engine, FixedCode4("LFPG")));
    const ApfLoadResult loaded = lf_readParkedFile(engine);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error(), ApfLoadError::notFound);
    EXPECT_EQ(loaded.errorText(), "lf_readParkedFile LFPG not found");
    EXPECT_FALSE(lf_setParkAirport(engine, FixedCode4("KJFK")));
    EXPECT_EQ(state.parking.display.parkAirportLabel, "");
}

TEST_F(ParkAirportsTest, AReReadTakesTheChangedReservedStandAndClearsIt) {
    parkAirportsFile("EHAM,D4\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(north(0.25));
    loadEham();
    ASSERT_EQ(state.parking.display.reservedStand, "D4");
    standNamed("D4").blocked = true;
    StaticAc& onA12 = state.staticAircraft.emplace_back();
    onA12.flight.hexId = 7;
    onA12.flight.callsign = "KLM7*";
    onA12.objectId = 507;
    onA12.status = SimStatus::active;
    onA12.standNumber = standNamed("A12").number;

    parkAirportsFile("EHAM,A12\nLFPG\n");
    const auto checkedText = [this] {
        const auto checked = gf_checkParkAirports(engine, true);
        return checked ? *checked : "error: " + checked.errorText();
    };
    updateRunning = true;
    EXPECT_EQ(checkedText(), "park airports and stands are okay") << "not while an update runs";

    updateRunning = false;
    EXPECT_EQ(checkedText(), "reserved stand changed from 'D4' to 'A12'");
    EXPECT_FALSE(standNamed("D4").blocked);
    EXPECT_TRUE(standNamed("A12").blocked);
    EXPECT_EQ(state.parking.display.reservedStand, "A12");
    EXPECT_EQ(onA12.status, SimStatus::removingfromsim);

    EXPECT_EQ(checkedText(), "park airports and stands are okay");
    parkAirportsFile("EHAM,A12\nQQQQ\n");
    const auto unknown = gf_checkParkAirports(engine, true);
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error(), ParkAirportsError::unknownAirport);
}

TEST_F(ParkAirportsTest, TheFiveSecondStepClearsOnlyAReservedStand) {
    parkAirportsFile("EHAM\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(north(0.25));
    loadEham();
    ASSERT_EQ(state.parking.display.reservedStand, "");
    StaticAc& onD4 = state.staticAircraft.emplace_back();
    onD4.flight.hexId = 8;
    onD4.flight.callsign = "KLM8*";
    onD4.objectId = 508;
    onD4.status = SimStatus::active;
    onD4.standNumber = standNamed("D4").number;
    clearParkReservedStand(engine);
    EXPECT_EQ(onD4.status, SimStatus::active);
    state.parking.display.reservedStand = "D4";
    clearParkReservedStand(engine);
    EXPECT_EQ(onD4.status, SimStatus::removingfromsim);
    EXPECT_TRUE(logHas("KLM8*    removed from the reserved stand"));
}

// --- The user's stand on the simulator client's thread ---

TEST_F(ParkAirportsTest, TheLinkNamesTheUsersStandFromTheStandsTheEnginePublished) {
    parkAirportsFile("EHAM\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    userInTheSimulatorAt(kStandA12);
    EXPECT_EQ(userStandOnTheLink(), "") << "no stands are loaded yet";
    onGroundAt(north(0.25));
    loadEham();
    EXPECT_EQ(userStandOnTheLink(), "A12");
    sim->teleportUser(north(0.3).latitude, north(0.3).longitude);
    EXPECT_EQ(userStandOnTheLink(), "") << "370 m from the nearest stand";
    sim->teleportUser(kStandD4.latitude, kStandD4.longitude);
    EXPECT_EQ(userStandOnTheLink(), "D4");
    gf_leaveParkAirport(engine);
    EXPECT_EQ(userStandOnTheLink(), "") << "the stands went with the park airport";
}

TEST_F(ParkAirportsTest, AStandHandedOverAfterANewFlightIsKeptOnTheRunThreadOnly) {
    parkAirportsFile("EHAM,D4\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(north(0.25));
    loadEham();
    userInTheSimulatorAt(kStandA12);
    ASSERT_EQ(userStandOnTheLink(), "A12");
    // The new flight reaches the link on a thread of its own, as on the
    // simulator client's.
    std::thread client([this] {
        sim->loadFlight("next.FLT");
        frame();
    });
    client.join();
    EXPECT_EQ(run.restartReason.load(), RestartReason::newFlight);
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM,D4"})) << "the client thread only hands it over";
    EXPECT_EQ(parkAirportsFile(), "EHAM,D4\n");
    clearParkReservedStand(engine);  // the run thread's reserved-stand step
    EXPECT_EQ(listed(), (std::vector<std::string>{"EHAM,A12"}));
    EXPECT_EQ(parkAirportsFile(), "EHAM,A12\n");
}

TEST_F(ParkAirportsTest, AStandHandedOverOnTheWayOutIsKeptWhenTheRunLeavesAndOnlyForItsAirport) {
    parkAirportsFile("EHAM,D4\n");
    ASSERT_TRUE(lf_readMyParkAirports(engine));
    onGroundAt(north(0.25));
    loadEham();
    state.userStandExchange.handOverUserStand("A12");
    gf_leaveParkAirport(engine);
    EXPECT_EQ(parkAirportsFile(), "EHAM,A12\n");

    // Handed over while no stands were published: it names no airport's stand.
    state.userStandExchange.handOverUserStand("D4");
    loadEham();
    clearParkReservedStand(engine);
    EXPECT_EQ(parkAirportsFile(), "EHAM,A12\n");
}

}  // namespace
}  // namespace qvl::test
