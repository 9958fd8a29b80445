// The stand and flight selection on a week clock: which learned flights
// fill which stands, and what keeps a stand or a flight out.
#include "engine/parking/park_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "core/settings.h"
#include "core/time_text.h"
#include "platform/units.h"
#include "refdata/code_table.h"
#include "refdata/lookups.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

constexpr double kMetre = 1.0 / kMetresPerNm;

struct FlightSpec {
    std::uint32_t day = 2;
    std::string hours = "20";
    std::string callsign1{};
    std::string callsign2{};
    std::string registration{};
    const char* model = "A320";
    bool real = true;
};

class ParkSelectionTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        setForTest(RANDOM, false);
        setForTest(WEEK, false);
        setForTest(PARK_SOFT, false);
        setForTest(MAX_FIT, 47);
        weekTime = packDaySlot(2, 20);  // Tuesday, 10:00
    }

    // Stands about 1 km apart unless placed.
    Stand& stand(std::uint32_t number, std::vector<std::uint32_t> neighbours = {}) {
        Stand& added = stands.add(number, "S" + std::to_string(number),
                                  {.latitude = 50.0 + 0.01 * number, .longitude = 8.5, .heading = 0.0});
        added.neighbours = std::move(neighbours);
        return added;
    }
    LearnedFlight& learn(std::uint32_t standNumber, const FlightSpec& spec) {
        std::vector<LearnedFlight>& flights = stands.flights(standNumber);
        LearnedFlight& flight = flights.emplace_back();
        flight.ids = {.airlineId = 7, .modelId = gf_modelId(spec.model)};
        flight.registration = spec.registration;
        flight.callsign1 = spec.callsign1;
        flight.callsign2 = spec.callsign2;
        flight.hours = gf_hours2bitset(spec.hours);
        flight.ordinal = static_cast<std::uint32_t>(flights.size());
        flight.day = spec.day;
        flight.real = spec.real;
        return flight;
    }
    void fill(std::int64_t wanted, std::int64_t occupied = 0) {
        lf_fillParkPositions(engine, engine.weekTime(), wanted, occupied);
    }
    // A selection run starts afresh, as the parking cycle starts it.
    void freshRun() {
        state.parking.candidates.clear();
        state.parking.display = {};
        for (Stand& s : stands.park.parkStands) s.taken = s.blocked = s.adjacent = false;
    }
    [[nodiscard]] const ParkPosition* candidateOn(std::uint32_t standNumber) const {
        const auto& list = state.parking.candidates;
        const auto found =
            std::find_if(list.begin(), list.end(), [&](const ParkPosition& p) { return p.standNumber == standNumber; });
        return found == list.end() ? nullptr : &*found;
    }
    // -1 when the stand has no candidate.
    [[nodiscard]] std::int64_t fitOn(std::uint32_t standNumber) const {
        const ParkPosition* p = candidateOn(standNumber);
        return p == nullptr ? -1 : p->fit;
    }
    [[nodiscard]] std::string callsignOn(std::uint32_t standNumber) const {
        const ParkPosition* p = candidateOn(standNumber);
        return p == nullptr ? "-" : p->callsign1;
    }
    StaticAc& staticOn(std::uint32_t standNumber, const std::string& callsign, GeoPosition at, const char* model) {
        StaticAc& ac = state.staticAircraft.emplace_back();
        ac.flight.hexId = static_cast<std::uint32_t>(state.staticAircraft.size());
        ac.flight.callsign = callsign + "*";
        ac.flight.key = {.airlineId = 7, .modelId = gf_modelId(model)};
        ac.status = SimStatus::active;
        ac.standNumber = standNumber;
        ac.stand = {.position = at, .heading = 0.0};
        return ac;
    }

    [[nodiscard]] std::size_t shows() const { return status.shown.size(); }
};

TEST_F(ParkSelectionTest, TodaysFlightsFillFirstAndYesterdaysOnlyWithWeek) {
    for (std::uint32_t n = 1; n <= 4; ++n) stand(n);
    learn(1, {.hours = "18", .callsign1 = "DLH1", .registration = "D-AAA1"});            // fit 2
    learn(2, {.day = 1, .hours = "20", .callsign1 = "KLM2", .registration = "PH-AA2"});  // Monday
    learn(3, {.hours = "19:21", .callsign1 = "AFR3", .registration = "F-AAA3"});         // now
    learn(4, {.hours = "25", .callsign1 = "BAW4", .registration = "G-AAA4"});            // later today
    fill(2);
    ASSERT_EQ(state.parking.candidates.size(), 2U);
    EXPECT_EQ(callsignOn(3), "AFR3");
    EXPECT_EQ(fitOn(3), 0);
    EXPECT_EQ(callsignOn(1), "DLH1");
    EXPECT_EQ(fitOn(1), 2);
    ASSERT_NE(candidateOn(1), nullptr);
    EXPECT_EQ(candidateOn(1)->registration, "D-AAA1");
    EXPECT_EQ(state.parking.realPassFit, 2);
    EXPECT_EQ(state.parking.softPassFit, -1);
    EXPECT_TRUE(logHas("2 real positions found, Max fit=24.0 hours, day 2, hh:20 or 11.0 hrs, fit: 1.5 hour"));

    // Short of wanted: without WEEK Monday's flight stays out, whatever the shortfall.
    freshRun();
    fill(4);
    EXPECT_EQ(state.parking.candidates.size(), 2U);
    EXPECT_EQ(callsignOn(2), "-");
    EXPECT_EQ(callsignOn(4), "-");
    EXPECT_EQ(state.parking.realPassFit, 47);
    EXPECT_FALSE(state.parking.display.weekFlightsUsed);

    // With WEEK any day's hours count: Monday's slot 20 now, and slot 25 at
    // fit 43 (Monday's slot 25, yesterday).
    setForTest(WEEK, true);
    freshRun();
    fill(4);
    EXPECT_EQ(callsignOn(2), "KLM2");
    EXPECT_EQ(fitOn(2), 0);
    EXPECT_EQ(callsignOn(4), "BAW4");
    EXPECT_EQ(fitOn(4), 43);
    EXPECT_EQ(state.parking.candidates.size(), 4U);
    EXPECT_TRUE(state.parking.display.weekFlightsUsed);
    EXPECT_TRUE(logHas("2 week/real positions found, Max fit=24.0 hours, day 2, hh:20 or 11.0 hrs, fit: 21.0 hour"));
    EXPECT_GT(shows(), 0U);
}

TEST_F(ParkSelectionTest, NeighboursNeverBothGetACandidate) {
    stand(1, {2});
    stand(2, {1, 3});
    stand(3, {2});
    stand(5, {6});
    stand(6, {5});
    for (std::uint32_t n : {1U, 2U, 3U, 5U, 6U}) {
        learn(n, {.callsign1 = "CS" + std::to_string(n), .registration = "R" + std::to_string(n)});
    }
    // As an adjustment takes the stand of a parked live aircraft.
    blockNeighbourStands(stands.park.parkStands, *stands.stand(5));
    fill(5, 1);
    EXPECT_EQ(callsignOn(1), "CS1");
    EXPECT_EQ(callsignOn(2), "-");
    EXPECT_EQ(callsignOn(3), "CS3");
    EXPECT_EQ(callsignOn(5), "-");
    EXPECT_EQ(callsignOn(6), "-") << "next to the parked live aircraft";
    EXPECT_TRUE(stands.stand(2)->adjacent);
}

TEST_F(ParkSelectionTest, AnActiveStaticOnANeighbourLeavesRoomOnlyForSmallerWings) {
    const GeoPosition here{.latitude = 50.0, .longitude = 8.5};
    const double clearance = gf_halfWingspan(gf_modelId("B744")) + gf_halfWingspan(gf_modelId("C172")) + kMetre;
    stands.add(1, "S1", {.latitude = here.latitude, .longitude = here.longitude}).neighbours = {2};
    const GeoPosition there = gf_destinationPoint(here, 0.0, clearance * kFeetPerNm);
    stands.add(2, "S2", {.latitude = there.latitude, .longitude = there.longitude}).neighbours = {1};
    StaticAc& neighbour = staticOn(2, "SWR9", there, "B744");
    learn(1, {.callsign1 = "JUMBO", .model = "B744"});
    fill(1);
    EXPECT_EQ(callsignOn(1), "-");

    // An aircraft not active yet takes no room.
    neighbour.status = SimStatus::adding2sim;
    freshRun();
    fill(1);
    EXPECT_EQ(callsignOn(1), "JUMBO");

    neighbour.status = SimStatus::active;
    freshRun();
    stands.flights(1).clear();
    learn(1, {.callsign1 = "CESSNA", .model = "C172"});
    fill(1);
    EXPECT_EQ(callsignOn(1), "CESSNA");
}

TEST_F(ParkSelectionTest, ReservedAndUserStandsStayFree) {
    for (std::uint32_t n = 1; n <= 3; ++n) {
        stand(n);
        learn(n, {.callsign1 = "CS" + std::to_string(n), .registration = "R" + std::to_string(n)});
    }
    state.parking.display.reservedStand = "S1";
    user.latitude = stands.stand(2)->latitude;
    user.longitude = stands.stand(2)->longitude;
    user.onGround = true;
    lf_blockReservedStands(engine);
    EXPECT_TRUE(stands.stand(1)->blocked);
    EXPECT_TRUE(stands.stand(2)->blocked);
    fill(3);
    ASSERT_EQ(state.parking.candidates.size(), 1U);
    EXPECT_EQ(callsignOn(3), "CS3");
}

TEST_F(ParkSelectionTest, EarlyMondayLooksBackIntoSunday) {
    weekTime = packDaySlot(1, 1);
    stand(1);
    stand(2);
    learn(1, {.day = 7, .hours = "46", .callsign1 = "SUN46"});
    learn(2, {.day = 1, .hours = "46", .callsign1 = "MON46"});
    fill(2);
    EXPECT_EQ(callsignOn(1), "SUN46");
    EXPECT_EQ(fitOn(1), 3) << "slot 1 at fit 3 is slot 46 of the day before";
    EXPECT_EQ(callsignOn(2), "-");
}

TEST_F(ParkSelectionTest, AtSundayMidnightAFlightStaysWhenMondayContinuesIt) {
    weekTime = packDaySlot(7, 47);
    stand(1);
    stand(2);
    learn(1, {.day = 7, .hours = "46:47", .callsign1 = "IN1", .callsign2 = "OUT1"});
    learn(1, {.day = 1, .hours = "0:2", .callsign1 = "IN1", .callsign2 = "OUT1"});
    learn(2, {.day = 7, .hours = "47", .callsign1 = "IN2", .callsign2 = "OUT2", .model = "B744"});
    learn(2, {.day = 1, .hours = "0", .callsign1 = "IN2", .callsign2 = "OUT2", .model = "A320"});
    fill(2);
    ASSERT_NE(candidateOn(1), nullptr);
    EXPECT_TRUE(candidateOn(1)->stays);
    ASSERT_NE(candidateOn(2), nullptr);
    EXPECT_FALSE(candidateOn(2)->stays) << "Monday's flight is another type";
}

TEST_F(ParkSelectionTest, TheFittingFlightIsTakenWhereverTheStandListsIt) {
    stand(1);
    learn(1, {.hours = "30", .callsign1 = "LATER"});
    learn(1, {.hours = "20", .callsign1 = "NOW"});
    fill(1);
    EXPECT_EQ(callsignOn(1), "NOW");
    EXPECT_EQ(fitOn(1), 0);
}

TEST_F(ParkSelectionTest, ADepartingFlightStaysOnlyWhenItHoldsTheNextHalfHour) {
    stand(1);
    stand(2);
    learn(1, {.hours = "20", .callsign1 = "IN1", .callsign2 = "OUT1"});
    learn(2, {.hours = "20:21", .callsign1 = "IN2", .callsign2 = "OUT2"});
    fill(2);
    ASSERT_NE(candidateOn(1), nullptr);
    EXPECT_FALSE(candidateOn(1)->stays) << "it leaves before the next half hour";
    ASSERT_NE(candidateOn(2), nullptr);
    EXPECT_TRUE(candidateOn(2)->stays);
}

TEST_F(ParkSelectionTest, MaxFitZeroTakesOnlyFlightsOfThisHalfHour) {
    setForTest(MAX_FIT, 0);
    stand(1);
    stand(2);
    learn(1, {.hours = "20", .callsign1 = "NOW"});
    learn(2, {.hours = "19", .callsign1 = "BEFORE"});
    fill(2);
    EXPECT_EQ(callsignOn(1), "NOW");
    EXPECT_EQ(callsignOn(2), "-");
    EXPECT_EQ(state.parking.realPassFit, 0);
}

TEST_F(ParkSelectionTest, AFlightInUseStaysOutForTheRestOfTheRun) {
    stand(1);
    learn(1, {.hours = "19:20", .callsign1 = "DLH1", .callsign2 = "DLH2"});
    learn(1, {.hours = "19", .callsign1 = "AFR9"});
    state.parking.liveCallsigns = {"DLH2"};
    fill(1);
    EXPECT_EQ(stands.flights(1)[0].ordinal, 0U);
    EXPECT_EQ(callsignOn(1), "AFR9") << "the stand is tried again at fit 1, without the flight in use";
    EXPECT_EQ(fitOn(1), 1);
}

TEST_F(ParkSelectionTest, HelicopterStandsOnlyWithHelicopters) {
    stand(1).heli = true;
    learn(1, {.callsign1 = "HELI"});
    setForTest(HELICOPTERS, false);
    fill(1);
    EXPECT_EQ(callsignOn(1), "-");
    setForTest(HELICOPTERS, true);
    freshRun();
    fill(1);
    EXPECT_EQ(callsignOn(1), "HELI");
}

TEST_F(ParkSelectionTest, SoftFlightsOnlyWithParkSoftAndOfOtherDaysOnlyWithWeekToo) {
    for (std::uint32_t n = 1; n <= 3; ++n) stand(n);
    learn(1, {.callsign1 = "REAL"});
    learn(2, {.hours = "17", .callsign1 = "SOFT", .real = false});
    learn(3, {.day = 5, .callsign1 = "SOFTFRI", .real = false});
    fill(3);
    EXPECT_EQ(state.parking.candidates.size(), 1U);
    EXPECT_FALSE(state.parking.display.softFlightsUsed);

    setForTest(PARK_SOFT, true);
    freshRun();
    fill(3);
    EXPECT_EQ(callsignOn(2), "SOFT");
    EXPECT_EQ(callsignOn(3), "-");
    EXPECT_EQ(state.parking.softPassFit, 47) << "the soft pass ran short";
    EXPECT_TRUE(state.parking.display.softFlightsUsed);

    setForTest(WEEK, true);
    freshRun();
    fill(3);
    EXPECT_EQ(callsignOn(3), "SOFTFRI");
    EXPECT_EQ(state.parking.softPassFit, 0);
    EXPECT_EQ(state.parking.candidates.size(), 3U);
}

TEST_F(ParkSelectionTest, AStaticOnTheStandKeepsItsOwnFlightFirst) {
    setForTest(RANDOM, true);
    stand(1);
    learn(1, {.callsign1 = "AAA1", .registration = "R1"});
    learn(1, {.callsign1 = "BBB2", .registration = "R2"});
    learn(1, {.hours = "30", .callsign1 = "CCC3", .registration = "R3"});  // does not fit now
    StaticAc& ac = staticOn(1, "CCC3", {}, "A320");
    ac.status = SimStatus::buffer;
    for (int i = 0; i < 5; ++i) {
        freshRun();
        fill(1);
        EXPECT_EQ(callsignOn(1), "CCC3");
    }
}

TEST_F(ParkSelectionTest, TheListIsCutToWantedFromItsEnd) {
    for (std::uint32_t n = 1; n <= 3; ++n) {
        stand(n);
        learn(n, {.callsign1 = "CS" + std::to_string(n), .registration = "R" + std::to_string(n)});
    }
    fill(2, 1);
    ASSERT_EQ(state.parking.candidates.size(), 1U);
    EXPECT_EQ(callsignOn(1), "CS1");

    // One stand over: the last one goes too.
    freshRun();
    fill(2);
    EXPECT_EQ(state.parking.candidates.size(), 2U);
    EXPECT_EQ(callsignOn(3), "-");
}

TEST_F(ParkSelectionTest, NothingIsSelectedWithoutAValidWeekTime) {
    stand(1);
    learn(1, {.callsign1 = "CS1"});
    weekTime = packDaySlot(0, 20);
    fill(1);
    EXPECT_TRUE(state.parking.candidates.empty());
    EXPECT_FALSE(stands.stand(1)->taken);
}

// The in-use rules walked over the lists, empty texts matching nothing.
bool inUseByWalk(const ParkingState& parking, const std::vector<StaticAc>& statics, const LearnedFlight& f) {
    const auto same = [](const std::string& a, const std::string& b) { return !a.empty() && a == b; };
    const auto eitherPart = [&](const std::string& text) { return same(text, f.callsign1) || same(text, f.callsign2); };
    for (const ParkPosition& c : parking.candidates) {
        if (same(c.registration, f.registration) || eitherPart(c.callsign1)) return true;
    }
    for (const std::string& live : parking.liveCallsigns) {
        if (eitherPart(live)) return true;
    }
    for (const StaticAc& ac : statics) {
        if (eitherPart(ac.flight.callsignCopy) || same(ac.flight.registration, f.registration)) return true;
    }
    return std::any_of(parking.parkedLive.begin(), parking.parkedLive.end(),
                       [&](const ParkedLive& p) { return eitherPart(p.callsign); });
}

TEST_F(ParkSelectionTest, TheHashSetsAnswerAsTheInUseRulesDo) {
    ParkingState& parking = state.parking;
    parking.candidates = {{.callsign1 = "CAND1", .registration = "R-CAND"}, {.callsign1 = "", .callsign2 = "C2ONLY"}};
    parking.liveCallsigns = {"LIVE1", ""};
    parking.parkedLive = {{.callsign = "PARKED1"}, {.callsign = ""}};
    StaticAc& st = staticOn(9, "STAT", {}, "A320");
    st.flight.callsignCopy = "STAT1";
    st.flight.callsignText = "STAT2";
    st.flight.registration = "R-STAT";
    state.staticAircraft.emplace_back();  // a static with every text empty

    const std::vector<std::string> texts{"",      "CAND1", "R-CAND", "C2ONLY", "LIVE1", "PARKED1",
                                         "STAT1", "STAT2", "R-STAT", "OTHER",  "R-NEW"};
    SelectionIndex index(parking, state.staticAircraft);
    const auto compareAll = [&](const char* when) {
        for (const std::string& a : texts) {
            for (const std::string& b : texts) {
                for (const std::string& r : texts) {
                    LearnedFlight f;
                    f.callsign1 = a;
                    f.callsign2 = b;
                    f.registration = r;
                    EXPECT_EQ(lf_isFlightInUse(index, f), inUseByWalk(parking, state.staticAircraft, f))
                        << when << ": '" << a << "' '" << b << "' '" << r << "'";
                }
            }
        }
    };
    compareAll("as built");
    LearnedFlight empty;
    EXPECT_FALSE(lf_isFlightInUse(index, empty)) << "empty texts match nothing";

    // The sets follow the list through appends and cuts, duplicates counted.
    index.append({{.callsign1 = "OTHER", .registration = "R-NEW"}, {.callsign1 = "OTHER", .registration = "R-NEW"}});
    compareAll("appended");
    index.cutTo(3);
    compareAll("cut to one of two");
    index.cutTo(1);
    compareAll("cut to the first");
}

}  // namespace
}  // namespace qvl::test
