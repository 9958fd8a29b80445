#include "liveries/scanned_processing.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/parameters.h"
#include "core/settings.h"
#include "core/support/bound_controls.h"
#include "core/user_error.h"
#include "liveries/liveries_file.h"
#include "liveries/regcode_sources.h"
#include "liveries/support/liveries_folder.h"
#include "support/fake_status.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

class ScannedProcessingTest : public test::LiveriesFolder {
protected:
    void SetUp() override {
        LiveriesFolder::SetUp();
        setenv("QVL_ROAMING_DIR", (folder_ / "roaming").c_str(), 1);
        fs::create_directories(productFolder());
        gf_saveAllParameters(StoredValues::defaults);
        fs::create_directories(kOutputFolder);
    }
    void TearDown() override {
        unsetenv("QVL_ROAMING_DIR");
        LiveriesFolder::TearDown();
    }

    // The window whose category boxes the build switches, through the status.
    test::BoundControls window;
    test::FakeStatus status_{window.controls()};

    // Lufthansa A320s (two pax, one cargo, one with its own registration), a
    // cargo-only heavy, a private Cessna and generic A320, 737 and Citation:
    // no high-performance aircraft and no helicopters.
    static LiveryList installed() {
        return {livery("DLH", "A320", "Lufthansa A320 a"),
                livery("DLH", "A320", "Lufthansa A320 b", 0, {}, "D-AIZB"),
                livery("DLH", "A320", "Lufthansa A320 cargo", 1),
                livery("BOX", "B77L", "Box 777F", 1),
                livery("PVT", "C172", "Private Cessna"),
                livery("ZZZ", "A320", "Generic A320"),
                livery("ZZZ", "B738", "Generic 737"),
                livery("ZZZ", "C25C", "Generic Citation")};
    }
    static void writeScanned(const LiveryList& list) { ASSERT_TRUE(lf_writeLiveriesScanned(list, 1)); }
    void shipped() {
        ASSERT_NO_FATAL_FAILURE(writeEncrypted("AIG-regcodes.enc", R"(<?xml version="1.0"?>
<root><meta><info name="copyright" value="CC0"/></meta><aig><l t="Lufthansa A320 a" r="D-AIZZ"/></aig></root>)"));
    }
    // Each line found in Log.txt after the one before it.
    ::testing::AssertionResult loggedInOrder(const std::vector<std::string>& lines) const {
        const std::string text = log_.text();
        std::size_t at = 0;
        for (const std::string& line : lines) {
            const std::size_t found = text.find("\n" + line + "\n", at);
            if (found == std::string::npos)
                return ::testing::AssertionFailure() << "missing in order: '" << line << "'";
            at = found + line.size() + 1;
        }
        return ::testing::AssertionSuccess();
    }
    static std::optional<bool> savedSetting(const char* key) {
        pugi::xml_document document;
        if (!document.load_file(parametersFile().c_str())) return std::nullopt;
        return gf_readBoolParameterXml(document, key);
    }
};

TEST_F(ScannedProcessingTest, TheBuildReadsTheFileAndLogsTheSummaryPerCategory) {
    writeScanned(installed());
    shipped();
    const auto light = window.checkBox(LIGHT_AIRCRAFT);
    const auto highPerf = window.checkBox(HIGH_PERF_AIRCRAFT);
    const auto helicopters = window.checkBox(HELICOPTERS);
    window.controls().setEnabled(light, false);
    gf_processScannedLiveries(tables_, status_);
    const std::uint64_t shownCount = status_.counts[StatusCount::scannedLiveries];
    const int repaints = status_.statusChanges;

    EXPECT_EQ(shownCount, 8U);
    EXPECT_EQ(repaints, 2);
    EXPECT_TRUE(tables_.catalogueBuilt);
    EXPECT_TRUE(tables_.liveries.empty());
    EXPECT_EQ(tables_.regcodes.size(), 2U) << "D-AIZB of the livery, D-AIZZ of the shipped file";
    EXPECT_TRUE(loggedInOrder({
        "    8 liveries read from output/LiveriesScanned.xml",
        "    2 registration codes",
        "    4 airlines, 4 pax aircraft models and 2 cargo aircraft models",
        " ",
        "Category Light: 1 pax liverie",
        "  C172",
        "Category Buzjets: 1 pax liverie",
        "  C25C",
        "Category Large: 4 pax liveries and 1 cargo liverie",
        "  A320,B738",
        "Category Heavy: 0 pax liveries and 1 cargo liverie",
        "  B77L",
        "Category HighPerf: No livery found",
        "HIGH_PERF_AIRCRAFT temporarily switched off because you do not have High Perf aircraft installed",
        "Category Rotorcraft: No livery found",
        "HELICOPTERS temporarily switched off because you do not have Helicopters installed",
        "3 models have a generic livery",
        "  A320,B738,C25C",
    }));
    EXPECT_EQ(tables_.lightModels, std::vector<CodeId>{modelId("C172")});
    EXPECT_EQ(tables_.bizjetModels, std::vector<CodeId>{modelId("C25C")});
    EXPECT_TRUE(tables_.rotorcraftModels.empty());

    EXPECT_FALSE(HELICOPTERS.value());
    EXPECT_EQ(savedSetting("HELICOPTERS"), false) << "switched off and saved off";
    EXPECT_EQ(savedSetting("HIGH_PERF_AIRCRAFT"), false);
    EXPECT_EQ(savedSetting("LIGHT_AIRCRAFT"), true);
    EXPECT_TRUE(window.controls().isEnabled(light));
    EXPECT_FALSE(window.controls().isEnabled(highPerf));
    EXPECT_FALSE(window.controls().isEnabled(helicopters));
}

TEST_F(ScannedProcessingTest, RegistrationsTakeTheUsersFileOverTheShippedFileOverTheLiveriesOwn) {
    LiveryList list = installed();
    list.push_back(livery("DLH", "A320", "Lufthansa A320 Retro", 0, {}, "D-AIZZ"));
    writeScanned(list);
    shipped();
    fs::create_directories(kMyRegcodesFolder);
    test::writeFile(kMyRegcodesFolder / "mine.txt", "Lufthansa A320 b;D-AIZB,D-AIZZ\n");
    gf_processScannedLiveries(tables_, status_);

    EXPECT_EQ(tables_.regcodes.at("D-AIZZ"), "Lufthansa A320 b");
    EXPECT_EQ(tables_.regcodes.at("D-AIZB"), "Lufthansa A320 b");
    EXPECT_EQ(tables_.inlineRegcodes.at("Lufthansa A320 Retro"), "D-AIZZ") << "the livery's own stays its own";
    const std::string results = test::readFile(kOfflineRegcodesTxt);
    EXPECT_NE(results.find("   regcode D-AIZZ for 'Lufthansa A320 a', instead of the same for 'Lufthansa A320 Retro'\n"
                           "0 new regcodes added, 1 regcode replaced\n"),
              std::string::npos)
        << results;
    EXPECT_NE(results.find("   regcode D-AIZZ for 'Lufthansa A320 b', instead of the same for 'Lufthansa A320 a'\n"
                           "0 new regcodes added, 1 regcode replaced\n"),
              std::string::npos)
        << results;
    EXPECT_TRUE(logHas("    2 registration codes"));
}

TEST_F(ScannedProcessingTest, ASettingAlreadyOffOnlyGetsTheNoLiveryLine) {
    writeScanned(installed());
    shipped();
    HELICOPTERS.set(false);
    gf_processScannedLiveries(tables_, status_);
    EXPECT_TRUE(loggedInOrder({"Category Rotorcraft: No livery found", "3 models have a generic livery"}));
    EXPECT_FALSE(logHas("HELICOPTERS temporarily switched off"));
    EXPECT_TRUE(logHas("HIGH_PERF_AIRCRAFT temporarily switched off"));
}

TEST_F(ScannedProcessingTest, ALaterStartUpSkipsTheBuildUntilTheTablesAreCleared) {
    writeScanned(installed());
    shipped();
    gf_processScannedLiveries(tables_, status_);
    const std::string_view title = lf_findLiveryTitle(tables_, "Generic 737");
    ASSERT_FALSE(title.empty());
    writeScanned({livery("KLM", "B738", "KLM 737")});

    gf_processScannedLiveries(tables_, status_);
    EXPECT_TRUE(logHas("Processing scanned liveries skipped; already done in previous start-up"));
    EXPECT_EQ(lf_findLiveryTitle(tables_, "Generic 737").data(), title.data()) << "the tables stay as built";

    gf_requestLiveryTablesClear(tables_);
    gf_processScannedLiveries(tables_, status_);
    EXPECT_TRUE(tables_.catalogueBuilt);
    EXPECT_TRUE(lf_findLiveryTitle(tables_, "Generic 737").empty());
    EXPECT_FALSE(lf_findLiveryTitle(tables_, "KLM 737").empty());
    EXPECT_TRUE(logHas("No generic liveries"));
}

TEST_F(ScannedProcessingTest, TablesLeftByAFailedBuildAreClearedBeforeTheNextBuild) {
    writeScanned(installed());
    shipped();
    // What a build that stopped half-way leaves: a map entry the builders
    // would not overwrite, and registration codes pointing into it.
    tables_.airlineModels[airlineId("DLH")][modelId("A320")] = {{.title = "Stale A320", .cargo = 0}};
    tables_.titleIndex.emplace("Stale A320", tables_.airlineModels[airlineId("DLH")][modelId("A320")][0].title);
    tables_.regcodes.emplace("D-STALE", lf_findLiveryTitle(tables_, "Stale A320"));
    tables_.lightModels.push_back(modelId("TBM9"));
    gf_processScannedLiveries(tables_, status_);
    EXPECT_TRUE(lf_findLiveryTitle(tables_, "Stale A320").empty());
    EXPECT_FALSE(lf_findLiveryTitle(tables_, "Lufthansa A320 a").empty());
    EXPECT_FALSE(tables_.regcodes.contains("D-STALE"));
    EXPECT_EQ(tables_.lightModels, std::vector<CodeId>{modelId("C172")});
}

TEST_F(ScannedProcessingTest, AMissingFileStopsTheBuildBeforeAnyTable) {
    try {
        gf_processScannedLiveries(tables_, status_);
        FAIL() << "expected a user error";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(e.code(), static_cast<int>(LiveriesFileError::notReadable));
    }
    EXPECT_FALSE(tables_.catalogueBuilt);
    EXPECT_TRUE(tables_.airlineModels.empty());
}

TEST_F(ScannedProcessingTest, ADamagedFileSwitchesTheScanOnSoTheNextStartRebuildsIt) {
    test::writeFile(kLiveriesScannedXml, "<root><liveries><l a='DLH'");
    SCAN_LIVERIES.set(false);
    gf_saveBoolParameter(SCAN_LIVERIES);
    try {
        gf_processScannedLiveries(tables_, status_);
        FAIL() << "expected a user error";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(e.code(), 51);
        EXPECT_NE(std::string(e.what()).find("could not be read"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_EQ(savedSetting("SCAN_LIVERIES"), true);
    ASSERT_EQ(status_.settingsShown.size(), 1U);
    EXPECT_EQ(status_.settingsShown.front(), &SCAN_LIVERIES);
    EXPECT_TRUE(logHas("SCAN_LIVERIES switched on: the next start scans the liveries"));
    EXPECT_FALSE(tables_.catalogueBuilt);
}

TEST_F(ScannedProcessingTest, ModelCodesGoTwentyToALineAndIntoTheirCategoryList) {
    std::vector<CodeId> models;
    std::vector<std::string> codes;
    for (int i = 1; i <= 21; ++i) {
        codes.push_back(fmt::format("M{:03}", i));
        models.push_back(gf_modelId(codes.back()));
    }
    const std::vector<CodeId> twenty(models.begin(), models.begin() + 20);
    lf_logModelCodes(tables_, CategoryModelList::none, twenty);
    lf_logModelCodes(tables_, CategoryModelList::rotorcraft, models);
    std::string first = "  " + codes[0];
    for (std::size_t i = 1; i < 20; ++i) first += "," + codes[i];
    EXPECT_TRUE(loggedInOrder({first, first, "  M021"}));
    EXPECT_FALSE(logHas("M020,M021"));
    EXPECT_EQ(tables_.rotorcraftModels, models);
    EXPECT_TRUE(tables_.lightModels.empty() && tables_.bizjetModels.empty());
}

}  // namespace
}  // namespace qvl
