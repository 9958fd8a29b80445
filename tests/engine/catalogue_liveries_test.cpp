// The engine's livery service over a real catalogue built from liveries of
// the shipped reference data's codes.
#include "engine/catalogue_liveries.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "liveries/livery_tables.h"
#include "support/engine_harness.h"
#include "support/log_capture.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

class CatalogueLiveriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        loadReferenceData();
        resetAllSettings();
        RANDOM.set(false);
        build();
    }

    void build() {
        LiveryList list{
            livery("DLH", "A320", "FSLTL_A320_DLH"),
            livery("DLH", "B738", "Lufthansa 737"),
            livery("KLM", "B738", "KLM 737"),
        };
        sortLiveries(list);
        lf_buildAirlineModelMap(list, tables);
        lf_buildCatalogue(tables);
        lf_buildModelTables(tables);
        tables.regcodes.emplace("PH-BXA", lf_findLiveryTitle(tables, "KLM 737"));
    }
    static LiveryData livery(std::string_view airline, std::string_view model, std::string title) {
        return {.title = std::move(title),
                .registration = {},
                .key = {.airlineId = gf_airlineId(airline), .modelId = gf_modelId(model)},
                .folderIndex = 0};
    }
    static FlightRec flight(std::string_view airline, std::string_view model, std::string registration = {}) {
        FlightRec rec;
        rec.key = {.airlineId = gf_airlineId(airline), .modelId = gf_modelId(model)};
        rec.registration = std::move(registration);
        rec.callsign = "DLH4AB";
        rec.category = AircraftCategory::Large;
        return rec;
    }

    SettingsScope settings;
    TempDir folder;
    LogCapture log{folder.path()};
    LiveryTables tables;
    EngineState state;
    LiveryMatchCounters counters;
    CatalogueLiveries liveries{tables, state, counters};
};

TEST_F(CatalogueLiveriesTest, ALiveFlightGetsACatalogueTitleAndItsFsltlMark) {
    FlightRec rec = flight("DLH", "A320");
    liveries.matchLiveAcLivery(rec);
    EXPECT_EQ(rec.liveryTitle, "FSLTL_A320_DLH");
    EXPECT_EQ(rec.liveryTitle.data(), lf_findLiveryTitle(tables, "FSLTL_A320_DLH").data()) << "a catalogue view";
    EXPECT_TRUE(rec.fsltlLivery);
    EXPECT_EQ(counters.at(MatchStep::airlineModel), 1);
    EXPECT_NE(log.text().find(fmt::format("          {} =2= FSLTL_A320_DLH\n", gf_flightLine(rec))), std::string::npos);

    FlightRec other = flight("DLH", "B738", "PH-BXA");
    liveries.matchLiveAcLivery(other);
    EXPECT_EQ(other.liveryTitle, "KLM 737") << "its registration code";
    EXPECT_FALSE(other.fsltlLivery);
    EXPECT_EQ(liveries.registrationTitle("PH-BXA"), "KLM 737");
    EXPECT_TRUE(liveries.registrationTitle("PH-XXX").empty());
}

TEST_F(CatalogueLiveriesTest, ARefusedTitleStaysRefusedAfterTheCatalogueIsBuiltAgain) {
    FlightRec rec = flight("DLH", "B738");
    liveries.matchLiveAcLivery(rec);
    ASSERT_EQ(rec.liveryTitle, "Lufthansa 737");
    state.uncreatable.dontUseTitles.insert(rec.liveryTitle);
    gf_clearLiveryTables(tables);
    build();
    FlightRec again = flight("DLH", "B738");
    liveries.matchLiveAcLivery(again);
    EXPECT_TRUE(again.liveryTitle.empty());
}

TEST_F(CatalogueLiveriesTest, AStaticAircraftWithoutMatchNamesItsStand) {
    FlightRec rec = flight("BAW", "A388");
    rec.hexId = 17;
    MATCHING_DEPTH.set(2);
    EXPECT_FALSE(liveries.matchStaticAcLiveryOnStand(rec, "V12", false));
    EXPECT_NE(log.text().find(fmt::format("V12     : {} no livery match ...\n", gf_flightLineShort(rec))),
              std::string::npos);
    FlightRec klm = flight("KLM", "B738");
    EXPECT_TRUE(liveries.matchStaticAcLivery(klm, true));
    EXPECT_EQ(klm.liveryTitle, "KLM 737");
    EXPECT_EQ(counters.steps, LiveryMatchCounters{}.steps);
}

TEST_F(CatalogueLiveriesTest, TheSummaryNamesTheAircraftThatCouldNotBeCreated) {
    FlightRec rec = flight("KLM", "B738");
    liveries.matchLiveAcLivery(rec);
    for (const char* text : {"B738 KLM", "A320 DLH", "E190 KLC"}) state.uncreatable.combinations.insert(text);
    liveries.logMatchSummary();
    EXPECT_NE(log.text().find("  2: 1\n"), std::string::npos);
    EXPECT_NE(log.text().find("\nCould not be created\n  A320 DLH\n  B738 KLM\n  E190 KLC\n"), std::string::npos);
}

TEST_F(CatalogueLiveriesTest, TheTablesKnowWhileTheEngineHoldsViewsOfTheirTitles) {
    ASSERT_TRUE(tables.titleViewsHeld);
    EXPECT_FALSE(tables.titleViewsHeld());
    LiveAc ac;
    ac.flight = flight("DLH", "A320");
    liveries.matchLiveAcLivery(ac.flight);
    state.liveAircraft.push_back(ac);
    EXPECT_TRUE(tables.titleViewsHeld()) << "an aircraft flies a catalogue title";
    state.reset();
    EXPECT_FALSE(tables.titleViewsHeld()) << "the end of a run lets go of every view";
    state.rememberedLiveries[0x400001] = lf_findLiveryTitle(tables, "KLM 737");
    EXPECT_TRUE(tables.titleViewsHeld()) << "a remembered livery";

    // Emptying the tables now would leave the view dangling.
    EXPECT_DEBUG_DEATH(gf_clearLiveryTables(tables), "titleViewsHeld");
}

}  // namespace
}  // namespace qvl::test
