// The stand-in's own behaviour; what the simulator link does with it is
// tested in tests/simlink.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/stand_in.h"
#include "support/temp_dir.h"

namespace qvl::sim {
namespace {

struct Reply {
    std::vector<std::byte> bytes;
    std::uint32_t id() const { return as<RecvHeader>().id; }
    template <class T>
    T at(std::size_t offset) const {
        T v{};
        if (offset + sizeof v <= bytes.size()) std::memcpy(&v, bytes.data() + offset, sizeof v);
        return v;
    }
    template <class Record>
    Record as() const {
        return at<Record>(0);
    }
    std::string text(std::size_t offset, std::size_t size) const {
        return fixedText(std::span(bytes).subspan(offset, std::min(size, bytes.size() - offset)));
    }
};

std::vector<Reply> dispatch(SimConnection& c, std::uint32_t onlyId = 0) {
    std::vector<Reply> out;
    c.callDispatch(
        [](const RecvHeader* m, std::uint32_t size, void* ctx) {
            const auto* b = reinterpret_cast<const std::byte*>(m);
            static_cast<std::vector<Reply>*>(ctx)->push_back({{b, b + size}});
        },
        &out);
    if (onlyId != 0) std::erase_if(out, [onlyId](const Reply& r) { return r.id() != onlyId; });
    return out;
}

class StandIn : public ::testing::Test {
protected:
    StandIn() {
        config.installedTitles = {"Airbus A320 Lufthansa"};
        config.user.latitude = 50.0;
        config.user.longitude = 8.5;
        config.creationFrames = 2;
    }
    void start(std::string_view name = "Quorvelant") {
        sim = std::make_unique<StandInSimulator>(config, clock);
        ASSERT_TRUE(succeeded(sim->open(&conn, name, 0)));
        dispatch(*conn);
    }
    void frames(int n) { clock->advance(n * sim->frameInterval()); }
    void create() {
        conn->aiCreateNonAtcAircraft("Airbus A320 Lufthansa", "DLH4AB", {50.01, 8.5, 500, 0, 0, 90, 1, 0}, 104);
    }

    StandInConfig config;
    std::shared_ptr<ManualSimClock> clock = std::make_shared<ManualSimClock>();
    std::unique_ptr<StandInSimulator> sim;
    SimConnection* conn = nullptr;
};

TEST_F(StandIn, CreationAppearsAfterItsFramesWithinTheObjectLimit) {
    config.objectLimit = 1;
    start();
    conn->subscribeToSystemEvent(202, "ObjectAdded");
    create();
    frames(1);
    EXPECT_TRUE(dispatch(*conn, recvEventObjectAddRemove).empty());
    frames(1);
    const auto replies = dispatch(*conn);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].as<RecvAssignedObjectId>().requestId, 104u);
    const auto added = replies[1].as<RecvEventObjectAddRemove>();
    EXPECT_EQ(added.event.eventId, 202u);
    EXPECT_EQ(added.event.data, replies[0].as<RecvAssignedObjectId>().objectId);
    EXPECT_NEAR(sim->object(added.event.data)->headingRad, 1.5707963, 1e-6);

    create();  // one over the limit
    const auto ex = dispatch(*conn, recvException);
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].as<RecvException>().exception, exceptionTooManyObjects);

    // Frame events do not pile up while nobody dispatches.
    conn->subscribeToSystemEvent(204, "Frame");
    frames(25);
    EXPECT_EQ(dispatch(*conn, recvEventFrame).size(), 1u);
    EXPECT_EQ(sim->frameCount(), 27u);
}

TEST_F(StandIn, RequestsAnsweredOnceEverySecondAndByTypeWithinTheRadius) {
    config.foreignObjects = {{"Far Away", "FAR1", 10.0, 10.0, 3000.0, false}};
    start();
    conn->addToDataDefinition(409, "SIM ON GROUND", "Bool", DataType::int64, 0, kUnusedId);
    conn->addToDataDefinition(404, "ATC ID", "", DataType::string32, 0, kUnusedId);
    conn->requestDataOnSimObject(106, 409, kUserObject, Period::once);
    EXPECT_EQ(dispatch(*conn, recvSimObjectData).size(), 1u);
    frames(90);
    EXPECT_TRUE(dispatch(*conn, recvSimObjectData).empty());
    conn->requestDataOnSimObject(108, 409, kUserObject, Period::second);
    frames(60);
    EXPECT_EQ(dispatch(*conn, recvSimObjectData).size(), 3u);  // at once, then twice a second apart
    conn->requestDataOnSimObjectType(101, 404, 20000, kObjectTypeAircraft);
    const auto inRange = dispatch(*conn, recvSimObjectDataByType);
    ASSERT_EQ(inRange.size(), 1u);  // the user alone: the foreign object is far away
    EXPECT_EQ(inRange[0].as<RecvSimObjectData>().outOf, 1u);
    EXPECT_EQ(inRange[0].text(40, 32), "D-STIN");
    conn->requestDataOnSimObjectType(101, 404, 5000000, kObjectTypeAircraft);
    EXPECT_EQ(dispatch(*conn, recvSimObjectDataByType).size(), 2u);
}

TEST_F(StandIn, ZuluClockRollsOverAndTheUserMovesOnItsLine) {
    config.zuluSeconds = 86399.0;
    config.zuluDayOfYear = 366;
    config.user.groundSpeedKt = 360.0;  // 0.1 nm a second, due north
    start();
    for (const char* name : {"ZULU TIME", "ZULU DAY OF YEAR", "ZULU YEAR"}) {
        conn->addToDataDefinition(403, name, "Number", DataType::int64, 0, kUnusedId);
    }
    frames(300);  // ten seconds
    conn->requestDataOnSimObject(109, 403, kUserObject, Period::once);
    const auto block = dispatch(*conn, recvSimObjectData);
    ASSERT_EQ(block.size(), 1u);
    EXPECT_EQ(block[0].at<std::int64_t>(40), 9);
    EXPECT_EQ(block[0].at<std::int64_t>(48), 1);
    EXPECT_EQ(block[0].at<std::int64_t>(56), 2025);
    EXPECT_NEAR(sim->object(kUserObject)->latitude, 50.0 + 1.0 / 60.0, 1e-6);
}

TEST_F(StandIn, WithGroundContactAnAiObjectMovedToItsStaticHeightIsOnTheGround) {
    config.aiGroundContact = true;
    config.groundElevationFt = 600.0;
    config.staticCgToGroundFt = 6.0;
    start();
    create();
    frames(2);
    dispatch(*conn);
    const ObjectId id = sim->aiObjectIds().front();
    conn->addToDataDefinition(402, "PLANE ALTITUDE", "Feet", DataType::float64, 0, kUnusedId);
    const auto moveTo = [&](double altitude) { conn->setDataOnSimObject(402, id, 0, 0, sizeof altitude, &altitude); };
    moveTo(607.5);
    EXPECT_FALSE(sim->object(id)->onGround);
    moveTo(606.5);
    EXPECT_TRUE(sim->object(id)->onGround);
    moveTo(650.0);
    EXPECT_FALSE(sim->object(id)->onGround);
}

// A world that nobody called for ten minutes does not replay them: it skips
// ahead and plays only the last ten seconds (300 frames at 30 a second).
TEST_F(StandIn, LongPauseReplaysOnlyTheLastTenSeconds) {
    config.user.groundSpeedKt = 360.0;  // 0.1 nm a second, due north
    start();
    conn->addToDataDefinition(409, "SIM ON GROUND", "Bool", DataType::int64, 0, kUnusedId);
    conn->requestDataOnSimObject(108, 409, kUserObject, Period::second);
    ASSERT_EQ(dispatch(*conn, recvSimObjectData).size(), 1u);  // the answer at once
    frames(30 * 600);
    EXPECT_EQ(dispatch(*conn, recvSimObjectData).size(), 10u);                 // one a second, for ten seconds
    EXPECT_EQ(sim->frameCount(), 30u * 600u);                                  // the frame count keeps to the clock
    EXPECT_NEAR(sim->object(kUserObject)->latitude, 50.0 + 1.0 / 60.0, 1e-6);  // ten seconds of flight
}

// After QUIT a connection hears nothing more: what was queued behind it is
// dropped, the next dispatch fails, and no open succeeds until a restart.
TEST_F(StandIn, QuitIsTheLastReplyOfAConnection) {
    start();
    conn->subscribeToSystemEvent(201, "Sim");
    sim->quit();
    sim->injectException(exceptionTooManyObjects, 0, 0);  // queued behind the quit
    const auto replies = dispatch(*conn);
    ASSERT_FALSE(replies.empty());
    EXPECT_EQ(replies.back().id(), std::uint32_t{recvQuit});
    EXPECT_EQ(std::count_if(replies.begin(), replies.end(), [](const Reply& r) { return r.id() == recvException; }), 0);
    EXPECT_FALSE(succeeded(conn->callDispatch([](const RecvHeader*, std::uint32_t, void*) {}, nullptr)));
    EXPECT_EQ(sim->openConnectionCount(), 0u);
    SimConnection* again = nullptr;
    EXPECT_FALSE(succeeded(sim->open(&again, "Quorvelant", 0)));
    sim->restart();
    EXPECT_TRUE(succeeded(sim->open(&again, "Quorvelant", 0)));
}

TEST_F(StandIn, TextsWithoutATerminatingZeroFillTheirField) {
    config.simulatorName = std::string(300, 'K');
    config.unterminatedStrings = true;
    config.user.atcId = std::string(40, 'Z');
    sim = std::make_unique<StandInSimulator>(config, clock);
    sim->open(&conn, "Quorvelant", 0);
    const auto open = dispatch(*conn).at(0).as<RecvOpen>();
    EXPECT_EQ(std::memchr(open.applicationName, 0, sizeof open.applicationName), nullptr);
    conn->addToDataDefinition(404, "ATC ID", "", DataType::string32, 0, kUnusedId);
    conn->addToDataDefinition(407, "TITLE", "", DataType::stringV, 0, kUnusedId);
    conn->requestDataOnSimObjectType(101, 404, 1000, kObjectTypeAircraft);
    conn->requestDataOnSimObject(106, 407, kUserObject, Period::once);
    const auto data = dispatch(*conn);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].text(40, 32), std::string(32, 'Z'));
    EXPECT_EQ(data[1].bytes.size(), 40 + config.user.title.size());  // no zero byte at the end
}

TEST_F(StandIn, FacilityDataComesAsAirportParkingsHelipadsAndEnd) {
    FacilityParking p{3, 0, 0, 0, 12, 0, 90.0f, 20.0f, 100.0f, -50.0f};
    config.airports = {
        {"EDDF", 50.03, 8.57, 111.0, "Frankfurt Main", {p, p}, {{50.04, 8.58, 111.0, 45.0f, 20.0f, 20.0f, 1, 2}}}};
    start("PARKING_DATA_RDR");
    for (const char* f : {"OPEN AIRPORT",
                          "LATITUDE",
                          "LONGITUDE",
                          "ALTITUDE",
                          "NAME",
                          "N_HELIPADS",
                          "N_TAXI_PARKINGS",
                          "OPEN TAXI_PARKING",
                          "TYPE",
                          "TAXI_POINT_TYPE",
                          "NAME",
                          "SUFFIX",
                          "NUMBER",
                          "ORIENTATION",
                          "HEADING",
                          "RADIUS",
                          "BIAS_X",
                          "BIAS_Z",
                          "CLOSE TAXI_PARKING",
                          "OPEN HELIPAD",
                          "LATITUDE",
                          "LONGITUDE",
                          "ALTITUDE",
                          "HEADING",
                          "LENGTH",
                          "WIDTH",
                          "SURFACE",
                          "TYPE",
                          "CLOSE HELIPAD",
                          "CLOSE AIRPORT"}) {
        conn->addToFacilityDefinition(1001, f);
    }
    ASSERT_TRUE(succeeded(conn->requestFacilityData(1001, 2001, "eddf", "")));
    auto replies = dispatch(*conn);
    ASSERT_EQ(replies.size(), 5u);
    EXPECT_EQ(replies[0].at<std::uint32_t>(12), 2001u);
    EXPECT_EQ(replies[0].at<std::uint32_t>(24), std::uint32_t{facilityAirport});
    EXPECT_DOUBLE_EQ(replies[0].at<double>(56), 111.0);
    EXPECT_EQ(replies[0].text(64, 32), "Frankfurt Main");
    EXPECT_EQ(replies[0].at<std::int32_t>(100), 2);  // taxi parkings
    EXPECT_EQ(replies[2].at<std::uint32_t>(24), std::uint32_t{facilityTaxiParking});
    EXPECT_EQ(replies[2].at<std::uint32_t>(56), 12u);   // NUMBER
    EXPECT_FLOAT_EQ(replies[2].at<float>(76), -50.0f);  // BIAS_Z
    EXPECT_EQ(replies[3].at<std::int32_t>(80), 2);      // the helipad's TYPE
    EXPECT_EQ(replies[4].as<RecvFacilityDataEnd>().requestId, 2001u);

    conn->requestFacilityData(1001, 2001, "ZZZZ", "");
    EXPECT_EQ(dispatch(*conn).size(), 1u);  // only the end
    sim->setFacilityNeverEnds(true);
    conn->requestFacilityData(1001, 2001, "EDDF", "");
    EXPECT_TRUE(dispatch(*conn, recvFacilityDataEnd).empty());
}

// An object keeps a count and the last data per client event, not every
// event it was sent: a run may keep an object for hours.
TEST_F(StandIn, ClientEventsAreCountedWithTheirLastData) {
    start();
    conn->mapClientEventToSimEvent(207, "NAV_LIGHTS_SET");
    conn->mapClientEventToSimEvent(211, "THROTTLE_SET");
    for (std::uint32_t data : {0u, 2u, 1u}) conn->transmitClientEvent(kUserObject, 207, data, 301, 0);
    conn->transmitClientEvent(kUserObject, 211, 8191, 301, 0);
    conn->transmitClientEvent(kUserObject, 212, 5, 301, 0);  // not mapped: refused, not counted
    const auto user = sim->object(kUserObject);
    ASSERT_TRUE(user.has_value());
    ASSERT_EQ(user->events.size(), 2u);
    EXPECT_EQ(user->events.at("NAV_LIGHTS_SET").count, 3u);
    EXPECT_EQ(user->events.at("NAV_LIGHTS_SET").lastData, 1u);
    EXPECT_EQ(user->events.at("THROTTLE_SET").count, 1u);
    EXPECT_EQ(user->events.at("THROTTLE_SET").lastData, 8191u);
    EXPECT_EQ(user->lights, std::uint64_t{lightNav});
}

// The log hook is given with the world: a trace file that cannot be opened
// is said there.
TEST(StandInLogHook, TraceFileThatCannotBeOpenedIsSaidThroughTheConfigsHook) {
    test::TempDir dir;
    std::vector<std::string> said;
    StandInConfig config;
    config.logHook = [&said](std::string_view line) { said.emplace_back(line); };
    StandInSimulator sim(std::move(config));
    EXPECT_FALSE(sim.setTraceFile(dir / "missing" / "trace.txt"));
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("cannot write the trace file"), std::string::npos);
}

// The trace file is written in blocks: a few times a second by the world's
// clock when the connection dispatches, and all of it when the connection
// closes and when the stand-in ends.
TEST_F(StandIn, TraceFileIsWrittenAFewTimesASecondAndCompleteAfterClose) {
    test::TempDir dir;
    start();
    ASSERT_TRUE(sim->setTraceFile(dir / "trace.txt"));
    const auto traced = [&] { return test::readFile(dir / "trace.txt"); };
    conn->subscribeToSystemEvent(201, "Sim");
    dispatch(*conn);
    EXPECT_EQ(traced(), "");  // waits for its block
    frames(3);                // 100 ms
    dispatch(*conn);
    EXPECT_EQ(traced(), "");
    frames(6);  // 300 ms
    dispatch(*conn);
    EXPECT_EQ(traced(), "       0 c1 SubscribeToSystemEvent 201 Sim\n");

    conn->mapClientEventToSimEvent(207, "NAV_LIGHTS_SET");
    conn->transmitClientEvent(kUserObject, 207, 1, 301, 0);
    ASSERT_TRUE(succeeded(conn->close()));
    EXPECT_EQ(traced(),
              "       0 c1 SubscribeToSystemEvent 201 Sim\n"
              "       9 c1 MapClientEventToSimEvent 207 NAV_LIGHTS_SET\n"
              "       9 c1 TransmitClientEvent object 0 event 207 NAV_LIGHTS_SET data 1 group 301\n"
              "       9 object 1 event NAV_LIGHTS_SET 1\n"
              "       9 c1 Close\n");
    sim->setRunning(false);  // after the close: written when the stand-in ends
    sim.reset();
    EXPECT_NE(traced().find("       9 sim stopped\n"), std::string::npos);
}

// Set data that moves an object is left out of the trace when positions are
// off; every other line stays, failed calls included.
TEST_F(StandIn, TraceWithoutPositionsDropsOnlyTheSetDataThatMovesObjects) {
    config.aiGroundContact = true;
    config.staticCgToGroundFt = 6.0;
    const auto run = [&](bool positions) {
        config.tracePositions = positions;
        start();
        sim->keepTraceInMemory(true);
        create();
        frames(2);
        dispatch(*conn);
        const ObjectId id = sim->aiObjectIds().front();
        conn->addToDataDefinition(402, "PLANE ALTITUDE", "Feet", DataType::float64, 0, kUnusedId);
        conn->addToDataDefinition(401, "SPOILERS HANDLE POSITION", "Percent", DataType::float64, 0, kUnusedId);
        for (const double altitude : {500.0, 5.0, 4.0}) conn->setDataOnSimObject(402, id, 0, 0, 8, &altitude);
        const double spoilers = 100.0;
        conn->setDataOnSimObject(401, id, 0, 0, 8, &spoilers);
        conn->setDataOnSimObject(402, 999, 0, 0, 8, &spoilers);  // no such object
        EXPECT_EQ(sim->object(id)->setDataCount, 4u);            // applied all the same
        return sim->traceLines();
    };
    const std::vector<std::string> all = run(true);
    const std::vector<std::string> quiet = run(false);
    std::vector<std::string> expected;
    std::copy_if(all.begin(), all.end(), std::back_inserter(expected), [](const std::string& line) {
        const bool call = line.find("SetDataOnSimObject 402 object 100 ") != std::string::npos;
        const bool data = line.find("object 100 data 402 ") != std::string::npos;
        return !call && !data;
    });
    EXPECT_EQ(all.size(), expected.size() + 6);  // three calls, three data lines
    EXPECT_EQ(quiet, expected);
    EXPECT_NE(std::find(quiet.begin(), quiet.end(), "object 100 on ground"), quiet.end());
    EXPECT_NE(std::find(quiet.begin(), quiet.end(), "c1 SetDataOnSimObject 401 object 100 size 8"), quiet.end());
    EXPECT_NE(std::find(quiet.begin(), quiet.end(), "c1 SetDataOnSimObject 402 object 999 size 8"), quiet.end());
}

TEST(StandInScenario, ReadsTheKeysAndReportsBadLines) {
    test::TempDir dir;
    test::writeFile(dir / "scenario.txt",
                    "# a run at Frankfurt\n"
                    "version = 12.1.5.0\n"
                    "zulu = 2025 32 3600\n"
                    "foreign = 50.1 8.6 3000 no AS-GEN Generic Traffic\n"
                    "airport = EDDF 50.03 8.57 111 Frankfurt Main\n"
                    "parking = EDDF 12 3 90 20 100 -50\n"
                    "parking = XXXX 1 1 1 1 1 1\n"
                    "frame_rate = fast\n"
                    "trace_positions = no\n");
    StandInConfig c;
    std::vector<std::string> problems;
    ASSERT_TRUE(StandInSimulator::readScenario(dir / "scenario.txt", c, problems));
    EXPECT_EQ(c.version[2], 5u);
    EXPECT_EQ(c.zuluDayOfYear, 32);
    ASSERT_EQ(c.foreignObjects.size(), 1u);
    EXPECT_EQ(c.foreignObjects[0].title, "Generic Traffic");
    ASSERT_EQ(c.airports.size(), 1u);
    EXPECT_EQ(c.airports[0].name, "Frankfurt Main");
    EXPECT_FLOAT_EQ(c.airports[0].parkings.at(0).biasZ, -50.0f);
    EXPECT_FALSE(c.tracePositions);
    ASSERT_EQ(problems.size(), 2u);  // the parking of an unknown airport, the bad number
    EXPECT_NE(problems[0].find(":7:"), std::string::npos);
}

// A scenario stages either simulator by the name the program's choice gives
// it, or by the name the simulator answers with.
TEST(StandInScenario, StagesEitherSimulatorByTheChoicesName) {
    test::TempDir dir;
    const auto answeredName = [&](const std::string& line) {
        test::writeFile(dir / "scenario.txt", "simulator = " + line + "\n");
        StandInConfig c;
        std::vector<std::string> problems;
        EXPECT_TRUE(StandInSimulator::readScenario(dir / "scenario.txt", c, problems));
        EXPECT_TRUE(problems.empty()) << line;
        StandInSimulator sim(c);
        SimConnection* conn = nullptr;
        EXPECT_TRUE(succeeded(sim.open(&conn, "Quorvelant", 0)));
        return fixedText(dispatch(*conn).at(0).as<RecvOpen>().applicationName);
    };
    EXPECT_EQ(answeredName("MSFS 2024"), "SunRise");
    EXPECT_EQ(answeredName("MSFS 2020"), "KittyHawk");
    EXPECT_EQ(answeredName("SunRise"), "SunRise");
    EXPECT_EQ(answeredName("Flight Unlimited"), "Flight Unlimited");
}

TEST(StandInForRun, ScenarioAndTraceComeFromTheEnvironment) {
    test::TempDir dir;
    test::writeFile(dir / "run.txt", "simulator = SunRise\ninstalled = Airbus A320 Lufthansa\nbogus line\n");
    ::setenv("QVL_SIM_SCENARIO", (dir / "run.txt").c_str(), 1);
    ::setenv("QVL_SIM_TRACE", (dir / "trace.txt").c_str(), 1);
    std::vector<std::string> logged;
    auto sim = makeStandInForRun([&](std::string_view line) { logged.emplace_back(line); });
    ::unsetenv("QVL_SIM_SCENARIO");
    ::unsetenv("QVL_SIM_TRACE");
    SimConnection* conn = nullptr;
    ASSERT_TRUE(succeeded(sim->open(&conn, "Quorvelant", 0)));
    EXPECT_EQ(fixedText(dispatch(*conn).at(0).as<RecvOpen>().applicationName), "SunRise");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find(":3: no '='"), std::string::npos);

    conn->mapClientEventToSimEvent(207, "NAV_LIGHTS_SET");
    conn->transmitClientEvent(1, 207, 1, 301, 0);
    sim.reset();  // the last lines are written when the stand-in ends
    EXPECT_NE(test::readFile(dir / "trace.txt")
                  .find("       0 c1 Open \"Quorvelant\"\n"
                        "       0 c1 MapClientEventToSimEvent 207 NAV_LIGHTS_SET\n"
                        "       0 c1 TransmitClientEvent object 1 event 207 NAV_LIGHTS_SET data 1 group 301\n"
                        "       0 object 1 event NAV_LIGHTS_SET 1\n"),
              std::string::npos);
}

}  // namespace
}  // namespace qvl::sim
