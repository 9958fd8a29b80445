#include "liveries/fltsim_section.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

class FltsimSection : public test::LiveriesFolder {
protected:
    std::optional<LiveryData> read(std::vector<std::string> lines, std::string_view model = "A320",
                                   const CfgFileSource& source = kSource) {
        lines.insert(lines.begin(), "[fltsim.3]");
        CfgFileFindings findings;
        CfgFileSource withTitles = source;
        withTitles.dontUseTitles = scan_.dontUseTitles.snapshot();
        if (auto candidate = lf_procesFltSimSection(findings, withTitles, lines, model)) {
            findings.candidates.push_back(std::move(*candidate));
        }
        LiveryList liveries = merged(std::move(findings));
        if (liveries.empty()) return std::nullopt;
        return std::move(liveries.front());
    }
    std::vector<std::string> incomplete() const { return scan_.incompleteSections.lines(); }
    bool noProblems() const { return scan_.incompleteSections.size() == 0 && scan_.invalidAirlineCodes.size() == 0; }

    // The code padded to 12, " in ", the aircraft.cfg, a blank and the header.
    static std::string invalidAirline(const std::string& code) {
        return code + std::string(12 - code.size(), ' ') + " in pkg/A320/aircraft.cfg [fltsim.3]";
    }

    static inline const CfgFileSource kSource{
        .folderIndex = 2, .cfgPath = "pkg/A320/aircraft.cfg", .aircraftFolder = "pkg/A320"};
    static constexpr const char* kMissingAirline =
        "pkg/A320/aircraft.cfg [fltsim.3] icao_airline is missing, or it has invalid info ";
};

TEST_F(FltsimSection, AnAirlineSectionBecomesALiveryOfTheFilesModel) {
    const auto livery = read({"title = Airbus A320 Lufthansa ", "icao_airline=DLH", "ui_variation=x"});
    ASSERT_TRUE(livery);
    EXPECT_EQ(livery->title, "Airbus A320 Lufthansa");
    EXPECT_EQ(livery->registration, "");
    EXPECT_EQ(livery->key, (LiveryKey{.airlineId = airlineId("DLH"), .modelId = modelId("A320")}));
    EXPECT_EQ(livery->folderIndex, 2);
    EXPECT_TRUE(noProblems());
}

TEST_F(FltsimSection, ASecondTitleKeyRejectsTheSectionAndStopsTheWalk) {
    EXPECT_FALSE(read({"title=One", "icao_airline=DLH", "TITLE=Two", "icao_airline=QQQ"}));
    EXPECT_EQ(incomplete(), std::vector<std::string>{"pkg/A320 [fltsim.3] has more than one title key"});
    EXPECT_EQ(scan_.invalidAirlineCodes.size(), 0U) << "lines after the second title are not read";
    EXPECT_TRUE(read({"title=Three", "icao_airline=DLH", "// title=Four"})) << "a comment is no title key";
}

TEST_F(FltsimSection, SecondAirlineParkingAndAtcIdKeysAreFoundAsPlainText) {
    EXPECT_FALSE(read({"title=A", "icao_airline=DLH", "// icao_airline was BAW"}));
    EXPECT_FALSE(read({"title=B", "atc_parking_types=GATE", "; atc_parking_types=CARGO"}));
    EXPECT_FALSE(read({"title=C", "icao_airline=DLH", "atc_id=D-ABCD", "//atc_id=D-ABCE"}));
    EXPECT_EQ(incomplete(),
              (std::vector<std::string>{"pkg/A320 [fltsim.3] has more than one icao_airline key",
                                        "pkg/A320 [fltsim.3] has more than one atc_parking_types key", kMissingAirline,
                                        "pkg/A320, [fltsim.3], has more than one atc_id key"}));
}

TEST_F(FltsimSection, ZzzzQuotedZzzzAndEmptyQuotesAreTheFictionalAirline) {
    int n = 0;
    for (const char* value : {"ZZZZ", "\"ZZZZ\"", "\"\""}) {
        const auto livery = read({"title=Generic " + std::to_string(++n), std::string("icao_airline=") + value});
        ASSERT_TRUE(livery) << value;
        EXPECT_EQ(livery->key.airlineId, airlineId("ZZZ")) << value;
    }
    EXPECT_TRUE(noProblems());
    const auto lower = read({"title=Lower", "icao_airline=zzzz"});
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->key.airlineId, airlineId("PVT")) << "ZZZZ is looked up like any code, and is unknown";
    EXPECT_EQ(scan_.invalidAirlineCodes.lines(), std::vector<std::string>{invalidAirline("ZZZZ")});
}

TEST_F(FltsimSection, ACargoOrExtraFourthLetterIsCutBeforeTheLookup) {
    EXPECT_EQ(read({"title=D", "icao_airline=DLHC"})->key.airlineId, airlineId("DLH"));
    EXPECT_EQ(read({"title=B", "icao_airline=bawx"})->key.airlineId, airlineId("BAW"));
    EXPECT_EQ(read({"title=A", "icao_airline=DLHA"})->key.airlineId, airlineId("PVT"));
    EXPECT_EQ(scan_.invalidAirlineCodes.lines(), std::vector<std::string>{invalidAirline("DLHA")});
}

TEST_F(FltsimSection, AnUnknownAirlineIsDroppedSoThatALaterAirlineLineCounts) {
    const auto livery = read({"title=T", "icao_airline=QQQ", "icao_airline=KLM"});
    ASSERT_TRUE(livery);
    EXPECT_EQ(livery->key.airlineId, airlineId("KLM"));
    EXPECT_EQ(scan_.invalidAirlineCodes.size(), 1U);
    EXPECT_EQ(scan_.incompleteSections.size(), 0U);
}

TEST_F(FltsimSection, AtcIdValuesFollowTheRegistrationRules) {
    EXPECT_EQ(read({"title=1", "icao_airline=DLH", "atc_id=D-EFGH"})->registration, "D-EFGH");
    EXPECT_EQ(read({"title=2", "icao_airline=DLH", "atc_id=N123", "atc_id=D-EFGI"})->registration, "D-EFGI")
        << "a value of four characters is as if the line were absent";
    EXPECT_EQ(read({"title=3", "icao_airline=DLH", "atc_id=D-EFGJ;old"})->registration, "D-EFGJ");
    EXPECT_EQ(read({"title=4", "icao_airline=DLH", "atc_id=D-EFGK,D-EFGL"})->registration, "");
    EXPECT_TRUE(noProblems());
    EXPECT_EQ(read({"title=5", "icao_airline=DLH", "atc_id=D-AB*X"})->registration, "");
    EXPECT_EQ(read({"title=6", "icao_airline=DLH", "atc_id=;D-EFGM"})->registration, "");
    EXPECT_EQ(read({"title=7", "icao_airline=DLH", "atc_id=D-EFGN,,D-X"})->registration, "");
    EXPECT_EQ(read({"title=8", "icao_airline=DLH", "atc_id=ABCDEFGHIJKLM"})->registration, "");
    EXPECT_EQ(read({"title=9", "icao_airline=DLH", "atc_id=ABCDEFGHIJKL"})->registration, "ABCDEFGHIJKL");
    EXPECT_EQ(incomplete(),
              (std::vector<std::string>{"invalid atc_id=D-AB*X in: 5", "invalid atc_id= in: 6",
                                        "invalid atc_id=D-EFGN,,D-X in: 7", "invalid atc_id=ABCDEFGHIJKLM in: 8"}));
}

TEST_F(FltsimSection, ParkingTypesMakeACargoLiveryOnlyWithCargoAndWithoutGate) {
    EXPECT_EQ(read({"title=1", "icao_airline=DLH", "atc_parking_types=GATE,CARGO"})->key.cargo, 0);
    EXPECT_EQ(read({"title=2", "icao_airline=DLH", "atc_parking_types= cargo "})->key.cargo, 1);
    EXPECT_EQ(read({"title=3", "icao_airline=DLH", "atc_parking_types=CARG"})->key.cargo, 0);
    EXPECT_EQ(read({"title=4", "icao_airline=DLH", "atc_parking_types=RAMP,CARGO"})->key.cargo, 1);
}

TEST_F(FltsimSection, ARegistrationRecordGivesAirlineSecondAirlineModelAndCargo) {
    const auto livery = read({"title=CityLine", "icao_airline=BAW", "atc_id=D-AIZA", "atc_parking_types=GATE"}, "B738");
    ASSERT_TRUE(livery);
    EXPECT_EQ(livery->registration, "D-AIZA");
    EXPECT_EQ(livery->key, (LiveryKey{.airlineId = airlineId("DLH"),
                                      .secondAirlineId = airlineId("CLH"),
                                      .modelId = modelId("A320"),
                                      .cargo = 1,
                                      .marker = 1}));
    EXPECT_EQ(read({"title=Spelled", "atc_id=DAIZA"})->key.airlineId, airlineId("DLH"))
        << "looked up under its spellings, without airline";
}

TEST_F(FltsimSection, WithoutAirlineALightModelIsPrivateAndAHeavyOneIsDropped) {
    const auto light = read({"title=Cessna"}, "C172");
    ASSERT_TRUE(light);
    EXPECT_EQ(light->key.airlineId, airlineId("PVT"));
    EXPECT_EQ(light->registration, "");
    const auto registered = read({"title=Cessna 2", "atc_id=OE-KAB"}, "C172");
    ASSERT_TRUE(registered);
    EXPECT_EQ(registered->key, (LiveryKey{.airlineId = airlineId("PVT"), .modelId = modelId("C172")}));
    EXPECT_EQ(registered->registration, "OE-KAB");

    EXPECT_FALSE(read({"title=Freighter"}, "B77L"));
    EXPECT_FALSE(read({"title=Freighter 2", "atc_id=N77777"}, "B77L"));
    EXPECT_EQ(incomplete(),
              (std::vector<std::string>{kMissingAirline, kMissingAirline, kMissingAirline,
                                        "'pkg/A320' '[fltsim.3]' has no airline and no regcode info", kMissingAirline,
                                        "'pkg/A320' '[fltsim.3]' has no airline and regcode not in dbase"}));
}

TEST_F(FltsimSection, APrivateTitleNamingAShortRegistrationTakesItsRecord) {
    const auto livery = read({"title=Skyhawk N123 private"}, "C25C");
    ASSERT_TRUE(livery);
    EXPECT_EQ(livery->registration, "N123");
    EXPECT_EQ(livery->key, (LiveryKey{.airlineId = airlineId("PVT"), .modelId = modelId("C172"), .marker = 1}))
        << "the record's model, not the file's";
}

TEST_F(FltsimSection, AStubIsAGenericLiveryWithoutRegistration) {
    const auto livery = read({"title=Airbus-STUB", "icao_airline=DLH", "atc_id=D-AIZA"});
    ASSERT_TRUE(livery);
    EXPECT_EQ(livery->key, (LiveryKey{.airlineId = airlineId("ZZZ"), .modelId = modelId("A320")}));
    EXPECT_EQ(livery->registration, "");
}

TEST_F(FltsimSection, FictionalAndDontUseTitlesEndSilently) {
    scan_.dontUseTitles.add("Banned livery");
    EXPECT_FALSE(read({"title=Fictional Air", "icao_airline=DLH"}));
    EXPECT_FALSE(read({"title=Banned livery", "icao_airline=DLH"}));
    EXPECT_TRUE(read({"title=banned livery", "icao_airline=DLH"})) << "compared case-sensitively";
    EXPECT_TRUE(noProblems());
}

TEST_F(FltsimSection, ASectionWithoutTitleIsReported) {
    EXPECT_FALSE(read({"icao_airline=DLH", "title=\"  \""}));
    EXPECT_EQ(incomplete(), std::vector<std::string>{"pkg/A320 [fltsim.3] misses title"});
}

TEST_F(FltsimSection, ATitleSeenTwiceAcrossFilesIsKeptByTheFirst) {
    const CfgFileSource other{.folderIndex = 1, .cfgPath = "b/B738/aircraft.cfg", .aircraftFolder = "b/B738"};
    EXPECT_TRUE(read({"title=Same", "icao_airline=DLH"}));
    EXPECT_FALSE(read({"title=Same", "icao_airline=KLM"}, "B738", other));
    EXPECT_EQ(incomplete(), std::vector<std::string>{"b/B738 [fltsim.3] title 'Same' already exists"});
}

TEST_F(FltsimSection, ASectionWithoutUsableKeyDoesNotTakeItsTitle) {
    EXPECT_FALSE(read({"title=No model", "icao_airline=DLH", "atc_id=D-NOMOD"}));
    EXPECT_EQ(incomplete(), std::vector<std::string>{"pkg/A320 [fltsim.3] title 'No model' already exists"});
    EXPECT_TRUE(read({"title=No model", "icao_airline=DLH"})) << "the title is still free";
}

TEST_F(FltsimSection, UserAircraftAndRfoSectionsAreRejectedWithoutAnyLine) {
    EXPECT_FALSE(read({"title=FenixA320 Lufthansa", "icao_airline=DLH"}));
    EXPECT_FALSE(read({"title=PMDG 737-800 KLM"}));
    EXPECT_FALSE(read({"title=Charter", "icao_airline=RFO"}));
    EXPECT_TRUE(noProblems());
    EXPECT_FALSE(read({"title=X", "title=Y"})) << "other rejections still name a missing airline";
    EXPECT_EQ(incomplete(),
              (std::vector<std::string>{"pkg/A320 [fltsim.3] has more than one title key", kMissingAirline}));
}

TEST_F(FltsimSection, ATenMegabyteLineIsReadAsAnyOther) {
    const std::string title(10U << 20U, 'T');
    const auto livery = read({"title=" + title, "icao_airline=DLH", std::string(10U << 20U, ' ')});
    ASSERT_TRUE(livery);
    EXPECT_EQ(livery->title.size(), title.size());
}

}  // namespace
}  // namespace qvl
