#include "liveries/scan_findings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/text_file.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

class ScanFindings : public test::LiveriesFolder {
protected:
    fs::path writeCfg(const fs::path& folder, const std::string& bytes) const {
        const fs::path cfg = folder_ / folder / "aircraft.cfg";
        fs::create_directories(cfg.parent_path());
        test::writeFile(cfg, bytes);
        return cfg;
    }
    static std::vector<std::string> titles(const LiveryList& liveries) {
        std::vector<std::string> out;
        for (const LiveryData& livery : liveries) out.push_back(livery.title);
        return out;
    }
};

// Tasks end in any order; the merge in start order decides who keeps a
// title, so a scan gives the same result however its threads ran.
TEST_F(ScanFindings, TheFirstFileInStartOrderKeepsATitleWhicheverTaskEndedFirst) {
    const std::string general = "[General]\nicao_type_designator=A320\n";
    const fs::path first = writeCfg("aig/A320", general + "[fltsim.0]\ntitle=Shared\nicao_airline=DLH\n");
    const fs::path second = writeCfg("fsltl/A320", general +
                                                       "[fltsim.0]\ntitle=Shared\nicao_airline=BAW\n"
                                                       "[fltsim.1]\ntitle=Shared too\nicao_airline=BAW\n"
                                                       "[fltsim.2]\nicao_airline=DLH\n");
    CfgFileFindings secondFound = lf_searchLiveriesinFile(taskInput(second, 2));
    CfgFileFindings firstFound = lf_searchLiveriesinFile(taskInput(first, 1));
    EXPECT_EQ(scan_.seenTitles.size(), 0U) << "a task takes no title";

    LiveryList liveries;
    mergeFindings(scan_, std::move(firstFound), liveries);
    mergeFindings(scan_, std::move(secondFound), liveries);
    EXPECT_EQ(titles(liveries), (std::vector<std::string>{"Shared", "Shared too"}));
    EXPECT_EQ(liveries.front().folderIndex, 1);
    EXPECT_EQ(liveries.front().key.airlineId, airlineId("DLH"));
    const std::string folder = gf_pathToUtf8(second.parent_path());
    EXPECT_EQ(scan_.incompleteSections.lines(),
              (std::vector<std::string>{folder + " [fltsim.2] misses title",
                                        folder + " [fltsim.0] title 'Shared' already exists"}))
        << "the file's own problem lines first, then the titles it could not take";
}

TEST_F(ScanFindings, AKeyWithoutAirlineOrModelLeavesTheTitleFreeAndTheLogLinesAreWritten) {
    CfgFileFindings findings;
    findings.log("a plain line");
    findings.logAttention("a line for the user");
    lf_addModelFix(findings.problems, "Model fix: B73H found in x changed into B738");
    findings.folderText = "pkg";
    findings.candidates.push_back({.livery = livery("", "A320", "Title"), .header = "[fltsim.0]"});
    findings.candidates.push_back({.livery = livery("DLH", "A320", "Title"), .header = "[fltsim.1]"});
    findings.candidates.push_back(
        {.livery = livery("DLH", "A320", "Title"), .header = "[fltsim.2]", .form = TitleTakenForm::ivao});
    LiveryList liveries{livery("KLM", "B738", "Earlier")};
    mergeFindings(scan_, std::move(findings), liveries);

    EXPECT_EQ(titles(liveries), (std::vector<std::string>{"Earlier", "Title"}));
    EXPECT_EQ(liveries.back().key.airlineId, airlineId("DLH"));
    EXPECT_EQ(scan_.incompleteSections.lines(),
              (std::vector<std::string>{"pkg [fltsim.0] title 'Title' already exists",
                                        "pkg [fltsim.2] title already exists: Title"}));
    EXPECT_EQ(scan_.modelFixes.size(), 1U);
    EXPECT_TRUE(logHas("a plain line"));
    EXPECT_TRUE(logHas("==> a line for the user"));
}

// The set keeps its titles' bytes in one buffer and finds them through a
// table that grows: every title stays found across the growth, titles that
// only begin alike or differ in one byte are told apart, and a cleared set
// takes them again.
TEST(SeenTitles, EveryTitleIsTakenOnceThroughTheTablesGrowthAndAgainAfterAClear) {
    SeenTitleSet seen;
    std::vector<std::string> titles{"", "A", std::string("A\0", 2), "AB"};
    for (int i = 0; i < 5000; ++i) titles.push_back("Airbus A320 Lufthansa " + std::to_string(i));
    for (const std::string& title : titles) EXPECT_TRUE(seen.take(title)) << title;
    for (const std::string& title : titles) EXPECT_FALSE(seen.take(title)) << title;
    EXPECT_EQ(seen.size(), titles.size());
    EXPECT_FALSE(seen.contains("Airbus A320 Lufthansa 5000"));
    EXPECT_TRUE(seen.contains("Airbus A320 Lufthansa 4999"));
    seen.clear();
    EXPECT_EQ(seen.size(), 0U);
    EXPECT_FALSE(seen.contains("AB"));
    EXPECT_TRUE(seen.take("AB"));
}

}  // namespace
}  // namespace qvl
