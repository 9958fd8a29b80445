// The flight plans as the loop hands them to their writer: the loop never
// waits for the files, the simulator gets a plan only once it is on disk,
// and each object's writes and deletions keep their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "core/file_writer.h"
#include "engine/base/removal.h"
#include "engine/object_events.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FlightPlanWriterThreaded : public EngineTest {
protected:
    // An aircraft flying with a route, spawned as spawning leaves it.
    LiveAc& airliner(std::uint32_t hexId, const std::string& callsign, const std::string& destination) {
        FlightScript script;
        script.hexId = hexId;
        script.callsign = callsign;
        script.origin = "FRA";
        script.destination = destination;
        script.legs = {{.seconds = 120.0, .groundSpeedKt = 250.0, .trackDeg = 90.0}};
        fly(script);
        tick(10);
        LiveAc* ac = aircraft(hexId);
        EXPECT_NE(ac, nullptr);
        spawnAsSpawningWould(*ac);
        return *ac;
    }
    std::filesystem::path planOf(std::uint32_t objectId) const { return dir / fmt::format("{}.pln", objectId); }
};

TEST_F(FlightPlanWriterThreaded, TheSimulatorGetsAPlanOnlyOnceItIsOnDisk) {
    connectStandIn();
    files->close();
    const std::uint32_t hexId = airliner(0x3c6586, "DLH4AB", "LHR").flight.hexId;
    ASSERT_TRUE(tickUntil([&] { return aircraft(hexId)->objectId != 0; }, 200));
    const std::uint32_t objectId = aircraft(hexId)->objectId;
    ASSERT_TRUE(files->waitForWaiter());
    tick(50);
    EXPECT_TRUE(simCalls("AISetAircraftFlightPlan").empty());
    EXPECT_FALSE(std::filesystem::exists(planOf(objectId)));

    files->open();
    ASSERT_TRUE(plansWritten());
    tick();
    EXPECT_EQ(simCalls(fmt::format("AISetAircraftFlightPlan {}", objectId)).size(), 1U);
    // The stand-in takes a plan only from a file that exists.
    const auto object = sim->object(objectId);
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(object->flightPlan, planOf(objectId));
    EXPECT_TRUE(aircraft(hexId)->flightPlanSent);
}

TEST_F(FlightPlanWriterThreaded, TicksGoOnWhileTheFilesWaitAndEachPlanIsWrittenBeforeItIsDeleted) {
    files->close();
    constexpr std::uint32_t kAircraft = 40;
    for (std::uint32_t i = 0; i < kAircraft; ++i) {
        LiveAc& ac = airliner(0x400000 + i, fmt::format("AUA{}", 100 + i), "VIE");
        makeActive(ac, 1000 + i);
        lf_createFlightPlan(engine, ac);
    }
    ASSERT_TRUE(files->waitForWaiter());
    // Every one goes while its plan is still waiting to be written.
    for (std::uint32_t i = 0; i < kAircraft; ++i) gf_removeFlightPlan(engine, 1000 + i);
    const std::int32_t before = engine.now();
    tick(100);
    // A hundred ticks have run with the writer held at the gate all along.
    EXPECT_EQ(engine.now() - before, 100);
    EXPECT_TRUE(files->passed().empty());

    files->open();
    ASSERT_TRUE(plansWritten());
    tick();
    const std::vector<std::string> passed = files->passed();
    ASSERT_EQ(passed.size(), 2 * kAircraft);
    for (std::uint32_t i = 0; i < kAircraft; ++i) {
        const std::string name = fmt::format("{}.pln", 1000 + i);
        const auto write = std::find(passed.begin(), passed.end(), "write " + name);
        const auto remove = std::find(passed.begin(), passed.end(), "remove " + name);
        ASSERT_NE(write, passed.end()) << name;
        EXPECT_LT(write, remove) << name;
        EXPECT_FALSE(std::filesystem::exists(dir / name));
    }
    EXPECT_FALSE(logHas("gf_removeFlightPlan:"));
}

TEST_F(FlightPlanWriterThreaded, AnObjectIdUsedAgainGetsOnlyItsNewPlan) {
    connectStandIn();
    files->close();
    LiveAc& first = airliner(0x400001, "AUA101", "LHR");
    makeActive(first, 300);
    lf_createFlightPlan(engine, first);
    ASSERT_TRUE(files->waitForWaiter());
    gf_removeFlightPlan(engine, 300);
    LiveAc& second = airliner(0x400002, "AUA102", "JFK");
    makeActive(second, 300);
    lf_createFlightPlan(engine, second);

    files->open();
    ASSERT_TRUE(plansWritten());
    tick();
    EXPECT_EQ(files->passed(), (std::vector<std::string>{"write 300.pln", "remove 300.pln", "write 300.pln"}));
    EXPECT_NE(readFile(planOf(300)).find("<DestinationID>JFK</DestinationID>"), std::string::npos);
    // The first write's news is not the second aircraft's: one hand-over.
    EXPECT_EQ(simCalls("AISetAircraftFlightPlan 300").size(), 1U);
}

TEST_F(FlightPlanWriterThreaded, APlanThatCannotBeWrittenIsLoggedAndNotDeletedLater) {
    connectStandIn();
    LiveAc& ac = airliner(0x400003, "AUA103", "LHR");
    makeActive(ac, 301);
    std::filesystem::create_directories(planOf(301) / "in-the-way");
    lf_createFlightPlan(engine, ac);
    ASSERT_TRUE(plansWritten());
    tick();
    EXPECT_TRUE(logHas("AUA103"));
    EXPECT_TRUE(logHas("creating a flight plan failed"));
    EXPECT_FALSE(ac.flightPlanSent);
    EXPECT_TRUE(simCalls("AISetAircraftFlightPlan").empty());
    gf_removeFlightPlan(engine, 301);
    ASSERT_TRUE(plansWritten());
    EXPECT_EQ(files->passed(), std::vector<std::string>{"write 301.pln"});
}

TEST_F(FlightPlanWriterThreaded, TheObjectIdListGoesToItsWriterAndALaterListWaitsNoQueue) {
    FileWriter writer{files};
    const auto file = dir / "ObjectIdList.txt";
    LiveAc& ac = airliner(0x400004, "AUA104", "LHR");
    makeActive(ac, 302);
    files->close();
    gf_writeObjectIdList(engine, writer, file);
    ASSERT_TRUE(files->waitForWaiter());
    // A second later the first list is still at the gate: no second one.
    gf_writeObjectIdList(engine, writer, file);
    EXPECT_EQ(writer.pending(), 1U);
    files->open();
    ASSERT_TRUE(writer.drain(std::chrono::seconds(10)));
    EXPECT_EQ(files->passed(), std::vector<std::string>{"replace ObjectIdList.txt"});
    EXPECT_EQ(readFile(file).substr(0, 11), "302;AUA104;");
}

}  // namespace
}  // namespace qvl::test
