#include "liveries/mtl_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/text_file.h"
#include "liveries/support/liveries_folder.h"
#include "refdata/lookups.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

class MtlFile : public test::LiveriesFolder {
protected:
    // An aircraft.cfg at <package>/SimObjects/Airplanes/<type folder>/, with
    // the texture folders named.
    fs::path writeCfg(const std::string& text, const std::vector<std::string>& textureFolders = {},
                      const std::string& typeFolder = "IVAO_A320", const std::string& package = "IVAO_MTL") {
        const fs::path folder = folder_ / "Community" / package / "SimObjects" / "Airplanes" / typeFolder;
        fs::create_directories(folder);
        for (const auto& texture : textureFolders) fs::create_directories(folder / texture);
        test::writeFile(folder / "aircraft.cfg", text);
        return folder / "aircraft.cfg";
    }

    LiveryList search(const fs::path& cfg) { return merged(lf_searchLiveriesinIVAOFile(taskInput(cfg, 4))); }

    std::string modelFromPath(const fs::path& cfg) {
        ScanProblemLines problems;
        std::string model = lf_modelFromIvaoPath(problems, cfg);
        appendProblemLines(scan_, std::move(problems));
        return model;
    }

    static std::vector<std::string> titles(const LiveryList& liveries) {
        std::vector<std::string> out;
        for (const auto& livery : liveries) out.push_back(livery.title);
        return out;
    }
    std::vector<std::string> incomplete() const { return scan_.incompleteSections.lines(); }
    static std::string text(const fs::path& path) { return gf_pathToUtf8(path); }
};

TEST_F(MtlFile, TheTypeComesFromTheFolderNameOfEitherPackage) {
    EXPECT_EQ(modelFromPath("C:\\MSFS\\IVAO_MTL\\SimObjects\\Airplanes\\IVAO_B738WLfa\\aircraft.cfg"), "B738");
    EXPECT_EQ(modelFromPath("/c/Community/ivao_x-csl/SimObjects/Airplanes/IVAO_A319fIAEw/aircraft.cfg"), "A319");
    EXPECT_EQ(modelFromPath("/c/ivao_mtl/simobjects/airplanes/ivao_A320/AIRCRAFT.CFG"), "A320")
        << "the layout is matched whatever the case";
    EXPECT_EQ(scan_.invalidModelCodes.size(), 0U);

    const fs::path outside = "/c/Community/MyAI/SimObjects/Airplanes/IVAO_A320/aircraft.cfg";
    EXPECT_EQ(modelFromPath(outside), "");
    EXPECT_EQ(modelFromPath("/c/IVAO_MTL/SimObjects/Airplanes/IVAO_Q400/aircraft.cfg"), "");
    EXPECT_EQ(scan_.invalidModelCodes.lines(),
              (std::vector<std::string>{
                  std::string(16, ' ') + " in " + text(outside),
                  "Q400" + std::string(12, ' ') + " in /c/IVAO_MTL/SimObjects/Airplanes/IVAO_Q400/aircraft.cfg"}));
}

TEST_F(MtlFile, AWrongTypeIsFixedFromTheDatabase) {
    ASSERT_NO_FATAL_FAILURE(readDbase(test::liveriesDbaseXml({{"fixes", R"(<fx wro="B73W" cor="B738"/>)"}})));
    const fs::path cfg = "/c/IVAO_MTL/SimObjects/Airplanes/IVAO_B73W/aircraft.cfg";
    EXPECT_EQ(modelFromPath(cfg), "B738");
    EXPECT_EQ(scan_.modelFixes.lines(),
              std::vector<std::string>{"Model fix: B73W found in " + text(cfg) + " changed into B738"});
}

TEST_F(MtlFile, TheAirlineIsTheWordAfterTheTypeInTheTitle) {
    const auto cfg = writeCfg(
        "[General]\natc_type=Airbus\n"
        "[fltsim.0]\ntitle=A320 DLH Lufthansa\ntexture=DLH\natc_parking_types=CARGO\n"
        "[fltsim.1]\ntitle = \"  A320BAW British \"\ntexture=BAW\natc_id=G-EUUA\n"
        "[fltsim.2]\ntitle=A320 ZZZ Generic\ntexture=ZZZ\natc_id=D-ABCD\n",
        {"texture.DLH", "texture.BAW", "texture.ZZZ"});
    const auto liveries = search(cfg);
    ASSERT_EQ(liveries.size(), 3U);
    const LiveryData& dlh = liveries.front();
    EXPECT_EQ(dlh.key, (LiveryKey{.airlineId = airlineId("DLH"), .modelId = modelId("A320")}))
        << "cargo parking types make no cargo livery";
    EXPECT_EQ(dlh.folderIndex, 4);
    const LiveryData& baw = *std::next(liveries.begin());
    EXPECT_EQ(baw.title, "A320BAW British");
    EXPECT_EQ(baw.registration, "G-EUUA");
    EXPECT_EQ(baw.key.airlineId, airlineId("BAW"));
    EXPECT_TRUE(logHas("removed spaces around title '  A320BAW British ' --> 'A320BAW British'"));
    EXPECT_EQ(liveries.back().registration, "") << "a generic livery has no registration";
    EXPECT_TRUE(incomplete().empty());
}

TEST_F(MtlFile, WingletPackagesExpectAWAfterTheType) {
    const auto cfg = writeCfg(
        "[fltsim.0]\ntitle=B738W DLH\ntexture=A\n"
        "[fltsim.1]\ntitle=B738 KLM\ntexture=A\natc_id=PH-BXA\n"
        "[fltsim.2]\ntitle=B738 BAW\ntexture=A\n"
        "[fltsim.3]\ntitle=B738W dlh\ntexture=A\n",
        {"texture.A"}, "IVAO_B738WLfa");
    const auto liveries = search(cfg);
    EXPECT_EQ(titles(liveries), (std::vector<std::string>{"B738W DLH", "B738 KLM"}));
    EXPECT_EQ(liveries.back().key, liveryKeyOf(gf_findDbaseRecord("PH-BXA")->key))
        << "without the W the registration record gives the key";
    const std::string folder = text(cfg.parent_path());
    EXPECT_EQ(incomplete(), std::vector<std::string>{folder + " [fltsim.2] misses airlinecode in title: B738 BAW, "
                                                              "and no regcode"});
    EXPECT_EQ(scan_.invalidAirlineCodes.lines(),
              std::vector<std::string>{"dlh" + std::string(9, ' ') + " in " + text(cfg) + " [fltsim.3]"})
        << "the code keeps its case and is not accepted";
}

TEST_F(MtlFile, ARegistrationRecordIsTheOnlyWayToACargoLivery) {
    const auto cfg = writeCfg(
        "[fltsim.0]\ntitle=Airbus CityLine\ntexture=A\natc_id=D-AIZA\n"
        "[fltsim.1]\ntitle=Airbus unknown\ntexture=A\natc_id=D-AXXX\n"
        "[fltsim.2]\ntitle=Airbus no model\ntexture=A\natc_id=D-NOMOD\n"
        "[fltsim.3]\ntitle=Airbus no model\ntexture=A\natc_id=D-AIZA\n",
        {"texture.A"});
    const auto liveries = search(cfg);
    EXPECT_EQ(titles(liveries), (std::vector<std::string>{"Airbus CityLine", "Airbus no model"}))
        << "a key without model leaves the title free";
    EXPECT_EQ(liveries.front().key.cargo, 1);
    EXPECT_EQ(liveries.front().key.secondAirlineId, airlineId("CLH"));
    const std::string folder = text(cfg.parent_path());
    EXPECT_EQ(incomplete(),
              (std::vector<std::string>{
                  folder + " [fltsim.1] misses airlinecode in title: Airbus unknown, and regcode unknown D-AXXX",
                  folder + " [fltsim.2] title already exists: Airbus no model"}));
}

TEST_F(MtlFile, ASectionCountsOnlyWithItsTextureFolder) {
    const auto cfg = writeCfg(
        "[fltsim.0]\ntitle=A320 DLH One\ntexture=Missing\n"
        "[fltsim.1]\ntitle=A320 DLH Two\n"
        "[fltsim.2]\ntitle=A320 DLH Three\ntexture=dlh\n"
        "[fltsim.3]\ntexture=DLH\n",
        {"texture.DLH"});
    EXPECT_EQ(titles(search(cfg)), std::vector<std::string>{"A320 DLH Three"})
        << "the texture folder is found whatever the case of its name";
    const fs::path folder = cfg.parent_path();
    EXPECT_EQ(incomplete(), (std::vector<std::string>{text(folder / "texture.Missing") + " [fltsim.0] does not exist",
                                                      text(folder / "texture.") + " [fltsim.1] does not exist",
                                                      text(folder) + " [fltsim.3] misses title"}));
}

TEST_F(MtlFile, WithoutATextureKeyTheFolderTextureCountsAsOnWindows) {
    const auto cfg =
        writeCfg("[fltsim.0]\ntitle=A320 DLH Plain\n[fltsim.1]\ntitle=A320 DLH Dots\ntexture=..\n", {"texture"});
    EXPECT_EQ(titles(search(cfg)), (std::vector<std::string>{"A320 DLH Plain", "A320 DLH Dots"}));
    EXPECT_TRUE(incomplete().empty());
}

TEST_F(MtlFile, TrailingDotsAndBlanksOfATextureKeyAreDroppedAsOnWindows) {
    const auto cfg = writeCfg("[fltsim.0]\ntitle=A320 DLH Blank\ntexture=A .\n", {"texture.A"});
    EXPECT_EQ(titles(search(cfg)), std::vector<std::string>{"A320 DLH Blank"});
    EXPECT_TRUE(incomplete().empty());
}

TEST_F(MtlFile, SecondKeysRejectTheSection) {
    const auto cfg = writeCfg(
        "[fltsim.0]\ntitle=A320 DLH A\ntexture=A\nTITLE=A320 DLH B\n"
        "[fltsim.1]\ntitle=A320 DLH C\ntexture=A\natc_parking_types=GATE\n; atc_parking_types=CARGO\n"
        "[fltsim.2]\ntitle=A320 DLH D\ntexture=A\natc_id=D-ABCD\n//atc_id=D-ABCE\n"
        "[fltsim.3]\ntitle=A320 DLH E\ntexture=A\natc_id=D-AB*\n"
        "[fltsim.4]\ntitle=A320 DLH F\ntexture=A\natc_id=D-ABCD;old\n"
        "[fltsim.5]\ntitle=A320 DLH G\ntexture=A\natc_id=D-ABCD,D-ABCE\n"
        "[fltsim.6]\ntitle=A320 DLH H\ntexture=A\natc_id=ABCDEFGHIJKL\n",
        {"texture.A"});
    const auto liveries = search(cfg);
    EXPECT_EQ(titles(liveries), (std::vector<std::string>{"A320 DLH E", "A320 DLH F", "A320 DLH G", "A320 DLH H"}));
    EXPECT_EQ(std::next(liveries.begin())->registration, "D-ABCD;old") << "no cut at a semicolon";
    EXPECT_EQ(std::next(liveries.begin(), 2)->registration, "");
    EXPECT_EQ(liveries.back().registration, "ABCDEFGHIJKL") << "twelve characters are a registration still";
    const std::string folder = text(cfg.parent_path());
    EXPECT_EQ(incomplete(), (std::vector<std::string>{folder + " [fltsim.0] has more than one title key",
                                                      folder + " [fltsim.1] has more than one atc_parking_types key",
                                                      folder + ", [fltsim.2], has more than one atc_id key",
                                                      "invalid atc_id=D-AB* in A320 DLH E"}));
}

TEST_F(MtlFile, ABracketAnywhereClosesTheSectionAndTitlesAreTakenOnce) {
    ASSERT_NO_FATAL_FAILURE(scan_.dontUseTitles.add("A320 DLH Banned"));
    const auto cfg = writeCfg(
        "[fltsim.0]\ntitle=A320 DLH One\n; see [Effects]\ntexture=A\n"
        "  [fltsim.1]\ntitle=A320 DLH Two\ntexture=A\n"
        "[fltsim.2]\ntitle=A320 DLH Two\ntexture=A\n"
        "[fltsim.3]\ntitle=A320 DLH Banned\ntexture=A\n",
        {"texture.A"});
    EXPECT_EQ(titles(search(cfg)), std::vector<std::string>{"A320 DLH Two"});
    const std::string folder = text(cfg.parent_path());
    EXPECT_EQ(incomplete(),
              (std::vector<std::string>{text(cfg.parent_path() / "texture.") + " [fltsim.0] does not exist",
                                        folder + " [fltsim.2] title already exists: A320 DLH Two"}));
}

TEST_F(MtlFile, TheFilesHeadersDecideWhetherItIsRead) {
    EXPECT_TRUE(search(writeCfg("[General]\ntitle=A320 DLH\n", {}, "IVAO_A318")).empty());
    EXPECT_EQ(scan_.noFltsimFiles.size(), 1U);
    const auto tooHigh = writeCfg("[fltsim.10001]\ntitle=A320 DLH X\ntexture=A\n", {"texture.A"}, "IVAO_A319");
    EXPECT_TRUE(search(tooHigh).empty());
    EXPECT_EQ(scan_.invalidCfgFiles.lines(),
              std::vector<std::string>{text(tooHigh) + " contains a [fltsim.x] section with a number < 0 or > 10000"});
    EXPECT_TRUE(search(writeCfg("[fltsim.12345678901]\ntitle=A321 DLH\n", {}, "IVAO_A321")).empty());
    EXPECT_TRUE(logHas("==> fltsim num [fltsim.12345678901] incorrect"));
    EXPECT_TRUE(search(folder_ / "IVAO_MTL" / "SimObjects" / "Airplanes" / "IVAO_B738" / "aircraft.cfg").empty());
    // A missing file is read and listed as every aircraft.cfg is.
    EXPECT_TRUE(logHas("! No text encoding detected for"));
    EXPECT_EQ(scan_.invalidCfgFiles.size(), 2U);
}

TEST_F(MtlFile, ATextureFolderThatCannotBeCheckedCountsAsMissing) {
    const auto cfg = writeCfg(
        "[fltsim.0]\ntitle=A320 DLH Before\ntexture=A\n"
        "[fltsim.1]\ntitle=A320 DLH Loop\ntexture=Loop\n"
        "[fltsim.2]\ntitle=A320 DLH After\ntexture=A\n",
        {"texture.A"});
    // Asking for the link's target fails with "too many levels of symbolic links".
    fs::create_symlink("texture.Loop", cfg.parent_path() / "texture.Loop");
    EXPECT_EQ(titles(search(cfg)), (std::vector<std::string>{"A320 DLH Before", "A320 DLH After"}));
    EXPECT_EQ(incomplete(),
              std::vector<std::string>{text(cfg.parent_path() / "texture.Loop") + " [fltsim.1] does not exist"});
    EXPECT_EQ(scan_.invalidCfgFiles.size(), 0U);
    EXPECT_FALSE(logHas("! Exception in lf_searchLiveriesinIVAOFile"));
}

TEST_F(MtlFile, AnExceptionInAFileIsListedAndTheScanGoesOn) {
    // The database interns every airline it knows; a table emptied and then
    // filled with other codes has no room for DLH.
    airlineCodes().clear();
    for (std::size_t n = 0; airlineCodes().size() < CodeTable::kMaxCodes; ++n) gf_airlineId("J" + std::to_string(n));

    const auto cfg = writeCfg(
        "[fltsim.0]\ntitle=Airbus CityLine\ntexture=A\natc_id=D-AIZA\n[fltsim.1]\ntitle=A320 DLH Two\ntexture=A\n",
        {"texture.A"});
    EXPECT_TRUE(search(cfg).empty()) << "a file that broke off gives nothing";
    EXPECT_TRUE(logHas("! Exception in lf_searchLiveriesinIVAOFile " + text(cfg) + ": "));
    ASSERT_EQ(scan_.invalidCfgFiles.size(), 1U);
    EXPECT_TRUE(scan_.invalidCfgFiles.lines()[0].starts_with(text(cfg) + " could not be read: airline code table full"))
        << scan_.invalidCfgFiles.lines()[0];

    // A registration record's key needs no new code.
    const auto next =
        writeCfg("[fltsim.0]\ntitle=Airbus CityLine\ntexture=A\natc_id=D-AIZA\n", {"texture.A"}, "IVAO_A319");
    EXPECT_EQ(titles(search(next)), std::vector<std::string>{"Airbus CityLine"});
}

TEST_F(MtlFile, AnEntryWhoseNameIsNoTextIsSkippedWithALogLine) {
    const auto cfg =
        writeCfg("[fltsim.0]\ntitle=A320 DLH Missing\ntexture=Missing\n[fltsim.1]\ntitle=A320 DLH Found\ntexture=dlh\n",
                 {"texture.DLH", "texture.\xFF"});
    EXPECT_EQ(titles(search(cfg)), std::vector<std::string>{"A320 DLH Found"});
    EXPECT_TRUE(logHas("Skipped an entry of " + text(cfg.parent_path()) + " whose name is no text"));
    EXPECT_EQ(incomplete(),
              std::vector<std::string>{text(cfg.parent_path() / "texture.Missing") + " [fltsim.0] does not exist"});
}

}  // namespace
}  // namespace qvl
