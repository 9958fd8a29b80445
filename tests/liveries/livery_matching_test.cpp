#include "liveries/livery_matching.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/random.h"
#include "core/settings.h"
#include "liveries/similar_models.h"
#include "liveries/support/liveries_folder.h"
#include "refdata/lookups.h"

namespace qvl {
namespace {

// A flight as a table row gives it; the category follows the model unless
// the row names one.
struct Flight {
    const char* airline;
    const char* model;
    const char* registration = "";
    const char* second = "";
    std::uint8_t cargo = 0;
    std::optional<AircraftCategory> category{};
};

// Lufthansa A320s (one reserved for a registration) and a 737, CityLine A320s
// flown for Lufthansa; British Airways and its Cityflyer, whose titles name
// each other; private Cessnas with their own registrations; generic
// ("ZZZ") liveries of some models; a private helicopter and TBM.
class LiveryMatching : public test::LiveriesFolder {
protected:
    void SetUp() override {
        LiveriesFolder::SetUp();
        ASSERT_NO_FATAL_FAILURE(readDbase(test::liveriesDbaseXml({
            {"aircrafts", R"(<aircraft types="A318,A319,A320,A321,B738,B77L,C25C,EC35,H145,TBM9,C172,C182"/>)"},
            {"rotorcraft", R"(<rot types="EC35,H145"/>)"},
            {"similar_types", R"(<similar types="A318,A319,A320,A321"/><similar types="C172,C182"/>)"},
            {"prefixes", R"(<similar types="D-,OE-,HB-,F-,G-"/>)"},
        })));
        RANDOM.set(false);
        build({
            livery("DLH", "A320", "Lufthansa A320 a"),
            livery("DLH", "A320", "Lufthansa A320 b"),
            livery("DLH", "A320", "Lufthansa A320 c"),
            livery("DLH", "A320", "Lufthansa A320 cargo", 1),
            livery("DLH", "B738", "Lufthansa 737"),
            livery("DLH", "A320", "CityLine A320", 0, "CLH"),
            livery("KLM", "B738", "KLM 737"),
            livery("KLM", "B77L", "KLM 777", 0, {}, "PH-BVA"),
            livery("BAW", "A318", "BA Cityflyer combined A318", 0, "CFE"),
            livery("CFE", "A318", "CFE A318 with British"),
            livery("BAW", "A318", "BA A318 with Cityflyer"),
            livery("CFE", "A319", "CFE A319 plain"),
            livery("CFE", "A319", "CFE A319 with British"),
            livery("CFE", "A320", "CFE A320 plain"),
            livery("BAW", "A320", "BA A320 plain"),
            livery("BAW", "A320", "BA A320 with Cityflyer"),
            livery("CFE", "A321", "CFE A321 plain"),
            livery("BAW", "A321", "BA A321 plain"),
            livery("BAW", "B738", "BA 737"),
            livery("CLH", "A321", "CLH A321 a"),
            livery("CLH", "A321", "CLH A321 not found"),
            livery("PVT", "C172", "PVT Cessna a plain"),
            livery("PVT", "C172", "PVT Cessna b", 0, {}, "D-EABC"),
            livery("PVT", "C172", "PVT Cessna c", 0, {}, "N12345"),
            livery("PVT", "C172", "PVT Cessna d", 0, {}, "OE-KAB"),
            livery("PVT", "C25C", "PVT bizjet"),
            livery("ZZZ", "C25C", "Generic bizjet"),
            livery("ZZZ", "C25C", "Generic bizjet freighter", 1),
            livery("ZZZ", "C182", "Generic C182"),
            livery("ZZZ", "A320", "Generic A320"),
            livery("ZZZ", "A321", "Generic A321"),
            livery("ZZZ", "A321", "Generic A321 freighter", 1),
            livery("PVT", "H145", "Heli H145", 0, {}, "D-HABC"),
            livery("PVT", "TBM9", "TBM private", 0, {}, "D-FTBM"),
        });
        gf_readSimilarTypes(tables_);
        tables_.rotorcraftModels = {modelId("H145")};
        for (const auto& [title, registration] : {std::pair{"PVT Cessna b", "D-EABC"},
                                                  {"PVT Cessna c", "N12345"},
                                                  {"PVT Cessna d", "OE-KAB"},
                                                  {"Heli H145", "D-HABC"},
                                                  {"TBM private", "D-FTBM"},
                                                  {"KLM 777", "PH-BVA"}}) {
            tables_.inlineRegcodes.emplace(stored(title), registration);
        }
        tables_.regcodes.emplace("D-AIRA", stored("Lufthansa A320 b"));
        tables_.regcodes.emplace("D-AISP", stored("Lufthansa A320 a"));
        tables_.specialRegcodes.insert("D-AISP");
        tables_.reservedTitles.push_back(stored("Lufthansa A320 a"));
    }

    std::string_view stored(std::string_view title) {
        const std::string_view view = lf_findLiveryTitle(tables_, title);
        EXPECT_FALSE(view.empty()) << title;
        return view;
    }

    MatchFlight flightOf(const Flight& f) {
        MatchFlight flight{.key = {.airlineId = airlineId(f.airline),
                                   .secondAirlineId = *f.second == '\0' ? CodeId{0} : airlineId(f.second),
                                   .modelId = modelId(f.model),
                                   .cargo = f.cargo},
                           .registration = f.registration,
                           .category = f.category.value_or(gf_categoryOfModelId(modelId(f.model))),
                           .line = [] { return std::string("FLIGHT"); },
                           .shortLine = [] { return std::string("SHORT"); }};
        return flight;
    }

    LiveryMatcher matcher() { return {.tables = tables_, .dontUseTitles = refused_, .counters = counters_}; }

    std::string matchLive(const Flight& f, int depth = 4) {
        MATCHING_DEPTH.set(depth);
        MatchFlight flight = flightOf(f);
        gf_matchLiveAcLivery(matcher(), flight);
        return std::string(flight.title);
    }

    DontUseTitleSet refused_;
    LiveryMatchCounters counters_;
};

struct LiveCase {
    const char* what;
    Flight flight;
    int depth;
    const char* title;  // "" = no match
    int step;           // -1 = none
};

const LiveCase kLiveCases[] = {
    // Registration codes.
    {"special registration", {"DLH", "A320", "D-AISP"}, 1, "Lufthansa A320 a", 0},
    {"registration code", {"DLH", "A320", "D-AIRA"}, 1, "Lufthansa A320 b", 1},
    {"registration code of another airline's flight", {"KLM", "B738", "D-AIRA"}, 4, "Lufthansa A320 b", 1},
    {"depth 1 reaches nothing else", {"DLH", "A320", "D-ABCD"}, 1, "", -1},
    // Airline and model; the reserved title is drawn five times, then set aside.
    {"airline and model at depth 2", {"DLH", "A320", "D-ABCD"}, 2, "Lufthansa A320 b", 2},
    {"empty registration still matches airline and model", {"DLH", "B738"}, 2, "Lufthansa 737", 2},
    {"cargo", {"DLH", "A320", "", "", 1}, 2, "Lufthansa A320 cargo", 2},
    {"cargo falls back to pax in the same step", {"DLH", "B738", "", "", 1}, 2, "Lufthansa 737", 2},
    // Second airlines: combined, short words both ways, second, first.
    {"second airline: combined airline", {"BAW", "A318", "", "CFE"}, 2, "BA Cityflyer combined A318", 2},
    {"second airline: its title naming the first", {"BAW", "A319", "", "CFE"}, 2, "CFE A319 with British", 2},
    {"second airline: first's title naming it", {"BAW", "A320", "", "CFE"}, 2, "BA A320 with Cityflyer", 2},
    {"second airline: any of its own", {"BAW", "A321", "", "CFE"}, 2, "CFE A321 plain", 2},
    {"second airline: any of the first", {"BAW", "B738", "", "CFE"}, 2, "BA 737", 2},
    {"code without a short word names nothing", {"KLM", "A321", "", "CLH"}, 2, "CLH A321 a", 2},
    {"Lufthansa for CityLine", {"DLH", "A320", "", "CLH"}, 2, "CityLine A320", 2},
    // Private aircraft.
    {"private: own prefix", {"PVT", "C172", "D-EFGH"}, 2, "PVT Cessna b", 2},
    {"private: prefix of its group", {"PVT", "C172", "F-GABC"}, 2, "PVT Cessna b", 2},
    {"private: no prefix hit, any private", {"PVT", "C172", "JA1234"}, 2, "PVT Cessna a plain", 2},
    {"private: a prefix without dash", {"PVT", "C172", "N999"}, 2, "PVT Cessna c", 2},
    {"private: generic livery first", {"PVT", "C25C", "D-IABC"}, 2, "Generic bizjet", 4},
    {"private at depth 1", {"PVT", "C25C", "D-IABC"}, 1, "", -1},
    // Similar models of the same category.
    {"similar model needs depth 3", {"DLH", "A319", "D-ABCD"}, 2, "", -1},
    {"similar model", {"DLH", "A319", "D-ABCD"}, 3, "Lufthansa A320 b", 3},
    {"similar model, cargo", {"DLH", "A319", "", "", 1}, 3, "Lufthansa A320 cargo", 3},
    {"similar model of another category", {"DLH", "A319", "", "", 0, AircraftCategory::Heavy}, 3, "", -1},
    {"similar model for the second airline", {"BAW", "A319", "", "DLH"}, 3, "Lufthansa A320 b", 3},
    // Fallbacks.
    {"fallback needs depth 4", {"EZY", "A321", "G-EZAA"}, 3, "", -1},
    {"fictional airline", {"EZY", "A321", "G-EZAA"}, 4, "Generic A321", 4},
    {"fictional airline, cargo", {"EZY", "A321", "G-EZAA", "", 1}, 4, "Generic A321 freighter", 4},
    {"heavy never searches other airlines", {"EZY", "B77L", "PH-XYZ"}, 4, "", -1},
    {"high performance never searches other airlines", {"EZY", "TBM9", "D-FXYZ"}, 4, "", -1},
    {"any airline, own prefix", {"EZY", "C172", "D-EXYZ"}, 4, "PVT Cessna b", 5},
    {"any airline, prefix of its group", {"EZY", "C172", "HB-XYZ"}, 4, "PVT Cessna b", 5},
    {"any airline, any title", {"EZY", "C172", "JA1234"}, 4, "PVT Cessna a plain", 5},
    {"any airline needs a registration", {"EZY", "C172"}, 4, "", -1},
    {"generic livery of a light model", {"EZY", "C182", "N55"}, 4, "Generic C182", 4},
    {"random model of the category", {"EZY", "EC35", "D-HXYZ"}, 4, "Heli H145", 6},
    {"random model needs a registration", {"EZY", "EC35"}, 4, "", -1},
};

TEST_F(LiveryMatching, LiveFlightsGetTheTitleOfTheFirstStepThatMatches) {
    for (const LiveCase& c : kLiveCases) {
        SCOPED_TRACE(c.what);
        const LiveryMatchCounters before = counters_;
        EXPECT_EQ(matchLive(c.flight, c.depth), c.title);
        for (std::size_t step = 0; step < kMatchStepCount; ++step) {
            const int added = counters_.steps[step] - before.steps[step];
            EXPECT_EQ(added, static_cast<int>(step) == c.step ? 1 : 0) << "counter of step " << step;
        }
        if (c.step >= 0) {
            EXPECT_TRUE(logHas(fmt::format("          FLIGHT ={}= {}\n", c.step, c.title)));
        }
    }
}

// Both short-word searches would find a title here: the second airline's
// title that names the first airline comes before the first airline's title
// that names the second, whichever of the two flies for the other.
TEST_F(LiveryMatching, TheSecondAirlinesTitleNamingTheFirstWinsOverTheFirstsNamingTheSecond) {
    gf_clearLiveryTables(tables_);
    build({
        livery("BAW", "A319", "BA A319 with Cityflyer"),
        livery("CFE", "A319", "CFE A319 with British"),
    });
    EXPECT_EQ(matchLive({"BAW", "A319", "", "CFE"}, 2), "CFE A319 with British");
    EXPECT_EQ(matchLive({"CFE", "A319", "", "BAW"}, 2), "BA A319 with Cityflyer");
}

TEST_F(LiveryMatching, ARefusedTitleIsPassedOverAtEveryStepThatFindsIt) {
    refused_.insert("Lufthansa A320 b");
    EXPECT_EQ(matchLive({"DLH", "A320", "D-AIRA"}), "Generic A320") << "not by code, nor by airline and model";
    EXPECT_EQ(counters_.at(MatchStep::fictionalAirline), 1);
    EXPECT_EQ(counters_.at(MatchStep::registration), 0);
    refused_.insert("Generic C182");
    EXPECT_EQ(matchLive({"EZY", "C182", "N55"}), "PVT Cessna c") << "the fallback goes on to its later steps";
    EXPECT_EQ(counters_.at(MatchStep::anyAirlineOtherModel), 1);
}

TEST_F(LiveryMatching, WhenEveryCandidateIsReservedAReservedTitleIsStillChosen) {
    tables_.reservedTitles.push_back(stored("KLM 737"));
    EXPECT_EQ(matchLive({"KLM", "B738"}, 2), "KLM 737");
}

// A view kept from the old catalogue would point into freed titles: the
// address sanitizer's build reports its first comparison.
TEST_F(LiveryMatching, ARebuiltCatalogueKeepsNoReservedTitleOfTheOldOne) {
    EXPECT_EQ(matchLive({"DLH", "A320"}, 2), "Lufthansa A320 b") << "a is reserved";
    gf_clearLiveryTables(tables_);
    build({livery("DLH", "A320", "Lufthansa A320 a"), livery("DLH", "A320", "Lufthansa A320 b")});
    tables_.reservedTitles.push_back(stored("Lufthansa A320 b"));
    EXPECT_EQ(matchLive({"DLH", "A320"}, 2), "Lufthansa A320 a");
}

TEST_F(LiveryMatching, WithRandomOnEqualCandidatesAreDrawnButNeverAReservedOne) {
    RANDOM.set(true);
    randomEngine().seed(13);
    std::set<std::string> titles;
    for (int i = 0; i < 60; ++i) titles.insert(matchLive({"DLH", "A320"}, 2));
    EXPECT_EQ(titles, (std::set<std::string>{"Lufthansa A320 b", "Lufthansa A320 c"}));
}

TEST_F(LiveryMatching, MatchingNeverAddsACodeToTheAirlineTable) {
    const std::size_t codes = airlineCodes().size();
    EXPECT_EQ(matchLive({"KLM", "A320", "", "EZY"}, 2), "") << "KLMEZY is no airline of the catalogue";
    EXPECT_EQ(airlineCodes().size(), codes);
}

TEST_F(LiveryMatching, RefusedTitlesAreKeptAsCopies) {
    std::string title = "Lufthansa A320 b";
    refused_.insert(title);
    title.assign("something else entirely");  // as a rebuilt catalogue reuses the memory
    EXPECT_TRUE(refused_.contains("Lufthansa A320 b"));
    EXPECT_EQ(matchLive({"DLH", "A320", "D-AIRA"}), "Generic A320");
}

struct StaticCase {
    const char* what;
    Flight flight;
    bool cargoStand;
    int depth;
    const char* title;  // "" = no match
    const char* mark;
};

const StaticCase kStaticCases[] = {
    {"registration code", {"DLH", "A320", "D-AISP"}, false, 1, "Lufthansa A320 a", "0"},
    {"own cargo flag for airline and model", {"DLH", "A320"}, true, 2, "Lufthansa A320 b", "2"},
    {"private on a cargo stand", {"PVT", "C25C", "D-IABC"}, true, 2, "Generic bizjet freighter", "4"},
    {"private on a pax stand", {"PVT", "C25C", "D-IABC"}, false, 2, "Generic bizjet", "4"},
    {"similar model", {"DLH", "A319"}, false, 3, "Lufthansa A320 b", "3"},
    {"fictional fallback on a cargo stand", {"EZY", "A321", "G-EZAA"}, true, 4, "Generic A321 freighter", "4"},
    {"fictional fallback on a pax stand", {"EZY", "A321", "G-EZAA"}, false, 4, "Generic A321", "4"},
    {"any airline, own cargo flag", {"EZY", "C172", "D-EXYZ"}, true, 4, "PVT Cessna b", "5"},
    {"depth 2 stops before similar models", {"DLH", "A319"}, false, 2, "", ""},
};

TEST_F(LiveryMatching, StaticAircraftUseTheStandsCargoFlagOnlyForPrivateAndFictionalLiveries) {
    for (const StaticCase& c : kStaticCases) {
        SCOPED_TRACE(c.what);
        MATCHING_DEPTH.set(c.depth);
        MatchFlight flight = flightOf(c.flight);
        const bool matched = gf_matchStaticAcLivery(matcher(), flight, {.id = "A12", .cargo = c.cargoStand});
        EXPECT_EQ(flight.title, c.title);
        EXPECT_EQ(matched, *c.title != '\0');
        if (matched) {
            EXPECT_TRUE(logHas(fmt::format("          FLIGHT ={}= {}\n", c.mark, c.title)));
        }
    }
    EXPECT_TRUE(logHas("A12     : SHORT no livery match ...\n"));
    EXPECT_EQ(counters_.steps, LiveryMatchCounters{}.steps) << "static matches are not counted";
}

TEST_F(LiveryMatching, AStaticAircraftKeepsItsTitleEvenARefusedOne) {
    refused_.insert("Lufthansa 737");
    MatchFlight flight = flightOf({"DLH", "A320"});
    flight.title = stored("Lufthansa 737");
    EXPECT_TRUE(gf_matchStaticAcLivery(matcher(), flight, {.id = "A1"}));
    EXPECT_EQ(flight.title, "Lufthansa 737");
    EXPECT_TRUE(logHas("          FLIGHT =s= Lufthansa 737\n"));
}

TEST_F(LiveryMatching, AStaticAircraftPassesOverARefusedTitle) {
    refused_.insert("Generic A321");
    MATCHING_DEPTH.set(4);
    MatchFlight flight = flightOf({"EZY", "A321", "G-EZAA"});
    EXPECT_FALSE(gf_matchStaticAcLivery(matcher(), flight, {.id = "B7"}));
    EXPECT_TRUE(flight.title.empty());
    EXPECT_TRUE(logHas("B7      : SHORT no livery match ...\n"));
}

TEST_F(LiveryMatching, TheSummaryListsTheCountsOfEveryStep) {
    gf_logLiveryMatchSummary(counters_, {"A320 DLH"});
    EXPECT_FALSE(logHas("Matches at step")) << "nothing while every counter is 0";
    matchLive({"DLH", "A320", "D-AISP"});
    matchLive({"EZY", "A321", "G-EZAA"});
    matchLive({"EZY", "A321", "G-EZAB"});
    gf_logLiveryMatchSummary(counters_, {"A320 DLH", "B738 KLM"});
    const std::string stars(31, '*');
    EXPECT_TRUE(
        logHas(fmt::format("\n\n{0} live traffic livery matching summary {0}\nMatches at step: \n"
                           "  0: 1\n  1: 0\n  2: 0\n  3: 0\n  4: 2\n  5: 0\n  6: 0\n"
                           "\nCould not be created\n  A320 DLH\n  B738 KLM\n{1}\n\n",
                           stars, std::string(100, '*'))));
}

}  // namespace
}  // namespace qvl
