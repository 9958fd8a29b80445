// The program's stand service on real stands: a stand file written by the
// stand-file writer and loaded by the stand-file reader in the test's own
// program folder; what the engine learns there is saved as the learned file
// and read back.
#include "engine/stands/park_airport_stands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "airports/apf_file.h"
#include "airports/park_airport.h"
#include "core/current_park_airport.h"
#include "core/paths.h"
#include "core/range_control.h"
#include "core/settings.h"
#include "engine/stands/stands.h"
#include "ground_fixture.h"
#include "refdata/code_table.h"
#include "simlink/sim_ids.h"

namespace qvl::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStandFile = "airports/my_simaddon/EDDF.xml";

class ParkAirportStandsTest : public GroundTest {
protected:
    void SetUp() override {
        GroundTest::SetUp();
        // Loading applies the parking settings stored with the airport; the
        // harness's settings scope puts them back.
        previousFolder_ = fs::current_path();
        fs::current_path(dir.path());
    }
    void TearDown() override {
        fs::current_path(previousFolder_);
        GroundTest::TearDown();
    }

    static Stand standAt(const char* id, GeoPosition at, double headingDeg, double radiusMetres,
                         const StandKind& kind = {}) {
        return {id,
                {},
                {.latitude = at.latitude, .longitude = at.longitude, .heading = headingDeg * kDegToRad},
                radiusMetres,
                kind};
    }
    // The airport's stand file as the writer makes it, loaded as the park airport.
    void loadAirport(std::vector<Stand> list) {
        ApfRecord record;
        record.icao = FixedCode4("EDDF");
        record.airportName = "Frankfurt";
        record.publisher = "Test";
        record.altitude = static_cast<std::int32_t>(config.groundElevationFt);
        record.stands = std::move(list);
        ASSERT_TRUE(gf_saveApf(record, kStandFile, {.mode = ApfMode::generated, .simNumber = 1, .handmade = false}));
        reload();
    }
    void reload() { ASSERT_TRUE(gf_readApf({.pathText = kStandFile, .icao = FixedCode4("EDDF")}, park, links).ok()); }
    // The learned file as the park airport's save writes it.
    void saveLearned() {
        ApfRecord record;
        record.icao = park.icao;
        record.airportName = park.header.airportName;
        record.publisher = park.header.publisher;
        record.stands = park.parkStands;
        ASSERT_TRUE(
            gf_saveApf(record, learnedFilePath(park), {.mode = ApfMode::learned, .simNumber = 1, .handmade = false}));
    }
    Stand& parkStand(const char* id) {
        const auto it =
            std::find_if(park.parkStands.begin(), park.parkStands.end(), [&](const Stand& s) { return s.id == id; });
        if (it == park.parkStands.end()) throw std::out_of_range(id);
        return *it;
    }
    static GeoPosition endOf(const FlightScript& script) {
        GeoPosition at{.latitude = script.latitude, .longitude = script.longitude};
        for (const Leg& leg : script.legs) at = offset(at, leg.trackDeg, leg.groundSpeedKt * leg.seconds / 3600.0);
        return at;
    }

    // The harness's stand list, and the program's stand service over it.
    LoadedParkAirport& park = stands.park;
    ParkAirportStands service{park};
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    ParkAirportLinks links{.parkAirport = parkAirport, .range = range, .status = status, .run = run};

private:
    fs::path previousFolder_;
};

TEST_F(ParkAirportStandsTest, ALandingTaxisParksOnItsStandAndTheLearnedFileKeepsTheFlight) {
    connectStandIn();
    FlightScript script;
    script.registration = "D-AIZA";  // an A320, whose title is installed
    script.latitude = 50.0;
    script.longitude = 8.0;
    script.altitudeFt = 2400.0;
    script.legs = {{.seconds = 212.0, .groundSpeedKt = 140.0, .trackDeg = 90.0, .verticalSpeedFpm = -700.0},
                   {.seconds = 16.0, .groundSpeedKt = 100.0, .trackDeg = 90.0},
                   {.seconds = 20.0, .groundSpeedKt = 40.0, .trackDeg = 90.0},
                   {.seconds = 40.0, .groundSpeedKt = 15.0, .trackDeg = 0.0},
                   {.seconds = 60.0, .groundSpeedKt = 15.0, .trackDeg = 270.0},
                   {.seconds = 16.0, .groundSpeedKt = 3.0, .trackDeg = 270.0}};
    const double touchdownNm = 140.0 * (2400.0 / 700.0) / 60.0;
    const GeoPosition standPosition = offset(endOf(script), 270.0, 0.002);
    // Another stand 300 m on, which the aircraft must not take.
    loadAirport(
        {standAt("V1", offset(standPosition, 270.0, 0.162), 270.0, 55.0), standAt("A12", standPosition, 270.0, 55.0)});
    parkAirport.set({.code = FixedCode4("EDDF"),
                     .position = {50.0, 8.0 + touchdownNm / (60.0 * std::cos(50.0 * kDegToRad))},
                     .elevationFeet = static_cast<float>(config.groundElevationFt)});
    parkAirport.setStandsLoaded(true);
    fly(script);
    tick(10);
    LiveAc* created = aircraft(script.hexId);
    ASSERT_NE(created, nullptr);
    spawnAsSpawningWould(*created);
    const std::uint32_t hexId = script.hexId;
    ASSERT_TRUE(
        tickUntil([&] { return aircraft(hexId) != nullptr && aircraft(hexId)->status == SimStatus::active; }, 600));
    const std::uint32_t objectId = aircraft(hexId)->objectId;
    bool touched = false;
    bool leftRunway = false;
    bool curved = false;
    const bool parked = tickUntil(
        [&] {
            const LiveAc* a = aircraft(hexId);
            if (a == nullptr) return true;
            if (!touched && a->altitude - config.groundElevationFt <= config.staticCgToGroundFt) {
                const std::int64_t onGround = 1;
                EXPECT_TRUE(sim::succeeded(
                    handle->addToDataDefinition(490, "SIM ON GROUND", "Bool", sim::DataType::int64, 0.0f, 0)));
                EXPECT_TRUE(
                    sim::succeeded(handle->setDataOnSimObject(490, objectId, 0, 0, sizeof onGround, &onGround)));
                touched = true;
            }
            if (touched && a->onGround && !a->motion.landed) leftRunway = true;
            if (curveIsSet(*a) && a->phase == GroundPhase::taxi) curved = true;
            return a->phase == GroundPhase::parked;
        },
        kTrafficDelayTicks + 60000);
    ASSERT_TRUE(parked) << log();
    EXPECT_TRUE(leftRunway);
    EXPECT_TRUE(curved);
    EXPECT_EQ(aircraft(hexId)->standNumber, parkStand("A12").number);
    EXPECT_LE(gf_distanceNm(positionOf(*aircraft(hexId)), standPosition) * 1852.0, 2.0);
    EXPECT_FALSE(simCalls("ENGINE_AUTO_SHUTDOWN").empty());
    EXPECT_TRUE(logHas("A12     : DLH4AB   arrived at stand"));
    // The stand learned the flight for this half hour, counted as an update.
    ASSERT_EQ(parkStand("A12").flights.size(), 1U);
    EXPECT_EQ(parkStand("A12").flights[0].registration, "D-AIZA");
    EXPECT_TRUE(parkStand("A12").flights[0].hours.test(20));
    EXPECT_TRUE(parkStand("V1").flights.empty());
    EXPECT_EQ(park.learnedUpdates, 1);
    EXPECT_EQ(park.stats.snapshot().updates, 1);

    saveLearned();
    reload();
    ASSERT_EQ(parkStand("A12").flights.size(), 1U) << readFile(learnedFilePath(park));
    const LearnedFlight& kept = parkStand("A12").flights[0];
    EXPECT_EQ(kept.registration, "D-AIZA");
    EXPECT_EQ(kept.day, 3U);
    EXPECT_EQ(kept.hours, HalfHourSlots{}.set(20));
    EXPECT_EQ(kept.callsign1, "DLH4AB");
    EXPECT_TRUE(kept.real);
}

TEST_F(ParkAirportStandsTest, ALearnedSizeAndACargoMarkAreCountedAndKeptByTheLearnedFile) {
    loadAirport({standAt("C1", {50.0, 8.5}, 0.0, 10.0, {.type = 0, .cargo = true, .ramp = false, .heli = false})});
    const std::uint32_t number = parkStand("C1").number;
    LiveAc& ac = make({groundSample(50.0, 8.5, 0.0, now())});
    ac.flight.halfSpan = 0.02;  // 37 m, far wider than the 10 m stand
    const auto found = gf_findStandNear(engine, {50.0, 8.5}, ac, kStandSearchNm, false);
    ASSERT_TRUE(found);
    engine.stands.clearCargoFlag(number);
    EXPECT_EQ(park.learnedUpdates, 2);
    EXPECT_TRUE(parkStand("C1").learnedSize);

    saveLearned();
    reload();
    EXPECT_NEAR(parkStand("C1").radius, 0.02 - 0.00053996, 0.0001);
    EXPECT_TRUE(parkStand("C1").radiusChange);
    EXPECT_FALSE(parkStand("C1").cargo);
    EXPECT_TRUE(parkStand("C1").cargoChange);
}

TEST_F(ParkAirportStandsTest, StandsAreFoundByNumberAndTheirFlightsLearnedAcrossMidnight) {
    loadAirport({standAt("A1", {50.0, 8.5}, 90.0, 30.0), standAt("A2", {50.0, 8.5004}, 90.0, 30.0),
                 standAt("H1", {50.001, 8.5}, 0.0, 20.0, {.type = 0, .cargo = false, .ramp = false, .heli = true})});
    const std::uint32_t a1 = parkStand("A1").number;
    EXPECT_EQ(service.standIdText(0), "sid==0?");
    EXPECT_EQ(service.standIdText(99), "sid==?");
    EXPECT_EQ(service.standIdText(parkStand("A2").number), "A2");
    EXPECT_EQ(service.findStand(a1)->neighbours, std::vector<std::uint32_t>{parkStand("A2").number});
    EXPECT_TRUE(service.findStand(parkStand("H1").number)->heli);
    EXPECT_FALSE(service.findStand(4));
    service.setStandOccupied(a1, true);
    EXPECT_TRUE(service.findStand(a1)->occupied);
    EXPECT_EQ(service.addStandOption(99, {}, {.day = 3, .slot = 20}, "DLH4AB", "D-AIZA", 0).index, 0U);
    EXPECT_FALSE(service.addStandOption(a1, {}, {.day = 3, .slot = 48}, "DLH4AB", "D-AIZA", 0).added);

    // Sunday 23:00 until Monday 00:30: the old day's flight takes the slots up to 47, the new one the rest.
    const StandOptionAdded sunday = service.addStandOption(a1, {}, {.day = 7, .slot = 46}, "DLH4AB_", "D-AIZA", 0);
    const StandOptionAdded monday = service.addStandOption(a1, {}, {.day = 1, .slot = 1}, "DLH4AB", "D-AIZA", 0);
    EXPECT_TRUE(service.updateOptionsWrapped(a1, {1, 0, 47, 46}, sunday.index, monday.index));
    service.setOptionCallsign(a1, sunday.index, "DLH9XY");
    service.markSeenWhileParked(a1, monday.index);
    const std::vector<StandOption> options = service.standOptions(a1);
    ASSERT_EQ(options.size(), 2U);
    EXPECT_EQ(options[0].hours, HalfHourSlots{}.set(46).set(47));
    EXPECT_EQ(options[1].hours, HalfHourSlots{}.set(0).set(1));
    EXPECT_EQ(options[0].callsign1 + ":" + options[0].callsign2, "DLH4AB:DLH9XY");
    EXPECT_TRUE(options[1].seenWhileParked && options[1].real);
    EXPECT_EQ(modelCodeOf(options[0].key.modelId), "A320") << "the registration database's ids";
    EXPECT_EQ(park.learnedUpdates, 2);
}

}  // namespace
}  // namespace qvl::test
