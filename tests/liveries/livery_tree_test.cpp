// The generated Community trees against the per-file readers: every walked
// aircraft.cfg must give exactly the liveries and problem lines the
// generator expects of it, and the tree must hold the shapes the scan's walk
// has to cope with.
#include "tools/livery_tree/livery_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "core/text_file.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/mtl_file.h"
#include "liveries/scan_findings.h"
#include "liveries/support/liveries_folder.h"
#include "refdata/code_table.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
namespace lt = livery_tree;

struct FileFindings {
    std::vector<lt::ExpectedLivery> liveries;
    lt::ProblemLines problems;
};

lt::ExpectedLivery asExpected(const LiveryData& livery) {
    return {.title = livery.title,
            .registration = livery.registration,
            .airline = std::string(airlineCodeOf(livery.key.airlineId)),
            .secondAirline = std::string(airlineCodeOf(livery.key.secondAirlineId)),
            .model = std::string(modelCodeOf(livery.key.modelId)),
            .cargo = livery.key.cargo != 0,
            .folderIndex = livery.folderIndex};
}

// The one place that knows how the per-file readers are called: a fresh
// scan state per file (titles are unique across the tree's files), the
// tree's "don't use" titles, and the worker the scan would pick.
FileFindings readOneFile(const lt::CfgFileExpectation& file, const std::vector<std::string>& dontUseTitles) {
    LiveryScanState state;
    for (const auto& title : dontUseTitles) state.dontUseTitles.add(title);
    const ScanTaskInput input{
        .folderIndex = file.folderIndex, .cfgPath = file.path, .dontUseTitles = state.dontUseTitles.snapshot()};
    LiveryList found;
    mergeFindings(
        state, file.reader == lt::CfgReader::ivao ? lf_searchLiveriesinIVAOFile(input) : lf_searchLiveriesinFile(input),
        found);
    FileFindings findings;
    for (const auto& livery : found) findings.liveries.push_back(asExpected(livery));
    findings.problems = {.invalidAirlineCodes = state.invalidAirlineCodes.lines(),
                         .invalidModelCodes = state.invalidModelCodes.lines(),
                         .modelFixes = state.modelFixes.lines(),
                         .invalidCfgFiles = state.invalidCfgFiles.lines(),
                         .incompleteSections = state.incompleteSections.lines(),
                         .noFltsimFiles = state.noFltsimFiles.lines()};
    return findings;
}

std::string describe(const lt::ExpectedLivery& r) {
    return fmt::format("{}/{}/{}{} '{}' reg '{}' folder {}", r.airline, r.secondAirline, r.model,
                       r.cargo ? " cargo" : "", r.title, r.registration, r.folderIndex);
}

// Lines of one list that only one side has, each marked with the side.
void diffLines(const std::string& list, std::vector<std::string> expected, std::vector<std::string> actual,
               std::vector<std::string>& out) {
    for (const auto& line : expected) {
        const auto it = std::find(actual.begin(), actual.end(), line);
        if (it == actual.end()) {
            out.push_back(list + " missing: " + line);
        } else {
            actual.erase(it);
        }
    }
    for (const auto& line : actual) out.push_back(list + " extra:   " + line);
    (void)expected;
}

std::vector<std::string> differences(const lt::CfgFileExpectation& file, const FileFindings& found) {
    std::vector<std::string> out;
    if (file.liveries != found.liveries) {
        std::vector<std::string> want;
        std::vector<std::string> got;
        for (const auto& r : file.liveries) want.push_back(describe(r));
        for (const auto& r : found.liveries) got.push_back(describe(r));
        if (want == got) {
            out.push_back("liveries differ in order");
        } else {
            diffLines("livery", want, got, out);
        }
    }
    const auto& e = file.problems;
    const auto& a = found.problems;
    diffLines("InvalidAirlineCodes", e.invalidAirlineCodes, a.invalidAirlineCodes, out);
    diffLines("InvalidAircraftCodes", e.invalidModelCodes, a.invalidModelCodes, out);
    diffLines("Fixes", e.modelFixes, a.modelFixes, out);
    diffLines("InvalidAircraftCfgFiles", e.invalidCfgFiles, a.invalidCfgFiles, out);
    diffLines("IncompleFltsimSections", e.incompleteSections, a.incompleteSections, out);
    diffLines("AircraftCfgWithNoFltsimSection", e.noFltsimFiles, a.noFltsimFiles, out);
    // Their order does not matter: the problem files are sorted (and Fixes.txt
    // follows the workers).
    return out;
}

class LiveryTree : public test::LiveriesFolder {
protected:
    void SetUp() override {
        LiveriesFolder::SetUp();
        ASSERT_NO_FATAL_FAILURE(readDbase(lt::referenceDbaseXml(lt::Preset::full)));
    }

    lt::TreeExpectation generate(lt::Preset preset, const lt::TreeOptions& options = {}) {
        auto tree = lt::generateTree(preset, folder_ / "Community", options);
        if (!tree) ADD_FAILURE() << tree.errorText();
        return tree ? std::move(*tree) : lt::TreeExpectation{};
    }

    // Every walked file through the readers; the differences per file.
    static std::vector<std::string> checkWalkedFiles(const lt::TreeExpectation& tree) {
        std::vector<std::string> all;
        for (const auto& file : tree.files) {
            if (!file.walked) continue;
            for (const auto& d : differences(file, readOneFile(file, tree.dontUseTitles))) {
                all.push_back(gf_pathToUtf8(file.path) + ": " + d);
            }
        }
        return all;
    }
};

// Where the section reader differs from the rules the expectation follows:
// a section rejected silently (a user aircraft's title, the airline RFO)
// before any airline was read still gets the missing-airline line. When the
// reader is mended this list empties and the test asks for it to go.
std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

TEST_F(LiveryTree, EveryWalkedFileGivesExactlyItsExpectedLiveriesAndProblemLines) {
    const lt::TreeExpectation tree = generate(lt::Preset::full);
    ASSERT_GT(tree.files.size(), 20U);
    EXPECT_EQ(joined(checkWalkedFiles(tree)), "");
}

TEST_F(LiveryTree, TheTreeHoldsTheShapesTheWalkMustHandle) {
    const lt::TreeExpectation tree = generate(lt::Preset::full);
    const lt::TreeShapes& shapes = tree.shapes;
    ASSERT_EQ(tree.packageFolders.size(), 5U);
    const std::vector<std::string> words{"aig-aitraffic-oci", "fsltl-traffic-base", "justflight-fstraffic-module",
                                         "IVAO_MTL", "user-aitraffic"};
    for (std::size_t i = 0; i < words.size(); ++i) {
        EXPECT_NE(gf_pathToUtf8(tree.packageFolders[i].filename()).find(words[i]), std::string::npos) << i;
    }

    ASSERT_TRUE(fs::is_symlink(shapes.symlinkLoop));
    EXPECT_TRUE(fs::equivalent(shapes.symlinkLoop, shapes.symlinkLoop.parent_path())) << "the link leads back";
    ASSERT_TRUE(fs::is_symlink(shapes.folderLink));
    EXPECT_TRUE(fs::is_regular_file(shapes.folderLink / "aircraft.cfg"));

    EXPECT_EQ(gf_pathToUtf8(shapes.enteredLongPath).size(), 249U);
    EXPECT_EQ(gf_pathToUtf8(shapes.skippedLongPath).size(), 250U);
    const std::string multibyte = gf_pathToUtf8(shapes.skippedMultibyteLongPath);
    EXPECT_EQ(multibyte.size(), 250U);
    EXPECT_EQ(utf8_to_wide(multibyte).size(), 249U) << "one letter takes two bytes";
    for (const auto& folder : {shapes.enteredLongPath, shapes.skippedLongPath, shapes.skippedMultibyteLongPath}) {
        EXPECT_TRUE(fs::is_regular_file(folder / "aircraft.cfg")) << gf_pathToUtf8(folder);
    }

    EXPECT_NE(gf_pathToUtf8(shapes.cvtPackageCopy.filename()).find("aig-aitraffic-oci"), std::string::npos);
    EXPECT_TRUE(
        fs::is_regular_file(shapes.cvtPackageCopy / "SimObjects" / "Airplanes" / "AIG_A320_DLH" / "aircraft.cfg"))
        << "a whole copy of the AIG package";
    EXPECT_TRUE(fs::is_regular_file(shapes.cvtAircraftCopy / "aircraft.cfg"));
    EXPECT_NE(gf_pathToUtf8(shapes.cvtAircraftCopy).find("_CVT_"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(shapes.stopWordFolder / "aircraft.cfg"));
    EXPECT_NE(gf_pathToUtf8(shapes.stopWordFolder.filename()).find("inibuilds"), std::string::npos);

    // Files the walk passes over promise nothing, so the scan's result holds none of their titles.
    for (const auto& file : tree.files) {
        if (file.walked) continue;
        EXPECT_TRUE(file.liveries.empty() && file.problems == lt::ProblemLines{}) << gf_pathToUtf8(file.path);
    }
}

TEST_F(LiveryTree, FilesAreWrittenInEveryEncodingByteForByte) {
    const lt::TreeExpectation tree = generate(lt::Preset::full);
    const fs::path airplanes = tree.packageFolders.at(0) / "SimObjects" / "Airplanes";
    const auto head = [&](const char* folder) { return test::readFile(airplanes / folder / "aircraft.cfg"); };
    EXPECT_TRUE(head("AIG_B738_KLM").starts_with("\xEF\xBB\xBF[General]\r\n"));
    EXPECT_TRUE(head("AIG_A321_AUA").starts_with(std::string("\xFF\xFE[\0G\0", 6)));
    EXPECT_TRUE(head("AIG_B77L_DLH").starts_with(std::string("\xFE\xFF\0[\0G", 6)));
    EXPECT_TRUE(head("AIG_A319_BAW").starts_with(std::string("[\0G\0", 4)));
    const std::string ansi = head("AIG_A320_EZY");
    EXPECT_NE(ansi.find("Z\xFCrich \x80\r\n"), std::string::npos) << "u umlaut and the euro sign in Windows-1252";
    EXPECT_TRUE(head("AIG_empty").empty());
}

TEST_F(LiveryTree, TheScanResultIsSortedAndTheLowerPriorityDuplicatesLeave) {
    const lt::TreeExpectation tree = generate(lt::Preset::full);
    const auto all = tree.scannedLiveries(false);
    const auto kept = tree.scannedLiveries(true);
    std::vector<std::string> dropped;
    for (const auto& r : all) {
        if (std::find(kept.begin(), kept.end(), r) == kept.end()) dropped.push_back(r.title);
    }
    std::sort(dropped.begin(), dropped.end());
    // The IVAO package (folder 4) repeats airlines and models of the AIG package (folder 1).
    EXPECT_EQ(dropped,
              (std::vector<std::string>{"A320 BAW British Airways", "A320 EZY spaced", "A320BAW lower-case texture",
                                        "A320DLH Lufthansa", "A320DLH Semicolon Reg", "A320DLH Star Reg",
                                        "A320ZZZ Generic", "Airbus A320 PH-BXA", "B738EZY fixed type", "B738W KLM",
                                        "FSLTL A320 Lufthansa", "User A320 Lufthansa", "User B738 Austrian"}));
    EXPECT_EQ(all.size(), kept.size() + dropped.size());
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
        return std::tie(a.airline, a.secondAirline, a.model, a.title) <
               std::tie(b.airline, b.secondAirline, b.model, b.title);
    }));
    const lt::ProblemLines files = tree.problemFiles();
    EXPECT_TRUE(std::is_sorted(files.incompleteSections.begin(), files.incompleteSections.end()));
    EXPECT_EQ(files.noFltsimFiles.size(), 2U);
}

TEST_F(LiveryTree, TheBenchTreeHasTheAskedSizeAndOnePrivateSectionInTen) {
    const lt::TreeExpectation tree = generate(lt::Preset::bench, {.fileCount = 12, .sectionsPerFile = 10});
    ASSERT_EQ(tree.files.size(), 12U);
    const auto liveries = tree.scannedLiveries(true);
    EXPECT_EQ(liveries.size(), 120U);
    EXPECT_EQ(std::count_if(liveries.begin(), liveries.end(),
                            [](const auto& r) { return r.airline == "PVT" && r.registration.empty(); }),
              12);
    EXPECT_EQ(joined(checkWalkedFiles(tree)), "");
}

TEST_F(LiveryTree, TheDemoTreeGivesTheDemonstrationsLiveryWithTheShippedDatabase) {
    ASSERT_NO_FATAL_FAILURE(readDbase(test::readFile(test::sourceDataFolder() / "dbase.xml")));
    const lt::TreeExpectation tree = generate(lt::Preset::demo);
    ASSERT_EQ(tree.files.size(), 1U);
    EXPECT_EQ(tree.scannedLiveries(true),
              (std::vector<lt::ExpectedLivery>{
                  {.title = "Airbus A320 Austrian OE-LB", .airline = "AUA", .model = "A320", .folderIndex = 1}}));
    EXPECT_EQ(joined(checkWalkedFiles(tree)), "");
}

TEST_F(LiveryTree, AFolderTheScanWouldPassOverOrOneInUseIsRefused) {
    auto stopWord = lt::generateTree(lt::Preset::demo, folder_ / "flytampa" / "Community");
    ASSERT_FALSE(stopWord);
    EXPECT_EQ(stopWord.error(), lt::TreeError::badFolder);
    test::writeFile(folder_ / "used.txt", "x");
    auto used = lt::generateTree(lt::Preset::demo, folder_.path());
    ASSERT_FALSE(used);
    EXPECT_EQ(used.error(), lt::TreeError::badFolder);
}

}  // namespace
}  // namespace qvl
