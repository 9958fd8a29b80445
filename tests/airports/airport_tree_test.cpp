// The generated install folders for the add-on airports scan: their shape,
// and that every BGL file reads back through the BGL reader as the
// expectation says.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "airports/bgl/bgl_airports.h"
#include "core/fixed_code.h"
#include "core/text_file.h"
#include "support/temp_dir.h"
#include "tools/airport_tree/airport_tree.h"

namespace qvl::test {
namespace {

namespace fs = std::filesystem;
namespace at = airport_tree;

// Codes of the expectation's airport list, read from its airports.xml text.
std::set<std::string> listedCodes(const std::string& airportsXml) {
    std::set<std::string> codes;
    for (std::size_t at = airportsXml.find("c=\""); at != std::string::npos; at = airportsXml.find("c=\"", at + 1)) {
        codes.insert(airportsXml.substr(at + 3, 4));
    }
    return codes;
}

std::vector<std::string> sortedStandIds(const ApfRecord& record) {
    std::vector<std::string> ids;
    for (const Stand& stand : record.stands) ids.push_back(stand.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Every file as the BGL reader sees it, against the expectation.
void expectReadBack(const at::TreeExpectation& tree, const std::set<std::string>& codes) {
    for (const at::BglFileExpectation& file : tree.bglFiles) {
        SCOPED_TRACE(gf_pathToUtf8(file.path) + ": " + file.note);
        EXPECT_EQ(lf_hasAirportSection(file.path), file.hasAirportSection);
        const BglFileFindings found =
            lf_processBGLfile({.bglPath = file.path, .isKnownAirport = [&](const FixedCode4& c) {
                                   return codes.contains(std::string(c.view()));
                               }});
        ASSERT_TRUE(found.opened);
        EXPECT_TRUE(found.outcome);
        ASSERT_EQ(found.airports.size(), file.airports.size());
        for (std::size_t i = 0; i < file.airports.size(); ++i) {
            EXPECT_EQ(found.airports[i].record.icao.view(), file.airports[i].icao);
            EXPECT_EQ(sortedStandIds(found.airports[i].record), file.airports[i].standIds);
            EXPECT_EQ(found.airports[i].helipads, file.airports[i].helipads);
        }
    }
}

std::set<fs::path> filesBelow(const fs::path& folder) {
    std::set<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.insert(entry.path());
    }
    return files;
}

class AirportTree : public ::testing::TestWithParam<at::Simulator> {
protected:
    TempDir folder;
};

TEST_P(AirportTree, FullTreeReadsBackAsExpected) {
    const at::Simulator simulator = GetParam();
    const fs::path install = folder / "install";
    auto tree = at::generateTree(at::Preset::full, install, {.simulator = simulator});
    ASSERT_TRUE(tree) << tree.errorText();
    const std::set<std::string> codes = listedCodes(tree->reference.airportsXml);
    ASSERT_TRUE(codes.contains("LOWG"));
    ASSERT_FALSE(codes.contains("XQXQ"));
    expectReadBack(*tree, codes);
    // The file whose airport is not listed leaves the reader's line for the scan log.
    const auto xqxq = std::find_if(tree->bglFiles.begin(), tree->bglFiles.end(),
                                   [](const at::BglFileExpectation& e) { return e.path.stem() == "objects_xqxq"; });
    ASSERT_NE(xqxq, tree->bglFiles.end());
    const BglFileFindings unlisted =
        lf_processBGLfile({.bglPath = xqxq->path, .isKnownAirport = [&](const FixedCode4& c) {
                               return codes.contains(std::string(c.view()));
                           }});
    EXPECT_TRUE(std::any_of(unlisted.linesAfter.begin(), unlisted.linesAfter.end(), [](const BglLine& l) {
        return l.kind == BglLineKind::scanLog && l.text == "XQXQ is not an airport supported by RealTraffic ";
    }));

    // Every file of the tree is an expected BGL file, a manifest, or inside
    // a streamed package.
    std::size_t bglFiles = 0;
    for (const fs::path& file : filesBelow(install)) {
        const std::string name = gf_pathToUtf8(file.filename());
        if (name == "manifest.json" || gf_pathToUtf8(file).find("StreamedPackages") != std::string::npos) continue;
        ++bglFiles;
        EXPECT_TRUE(std::any_of(tree->bglFiles.begin(), tree->bglFiles.end(), [&](const at::BglFileExpectation& e) {
            return e.path == file;
        })) << name;
    }
    EXPECT_EQ(bglFiles, tree->bglFiles.size());

    const bool is2024 = simulator == at::Simulator::msfs2024;
    EXPECT_EQ(tree->scanFolders,
              (std::vector<fs::path>{install / (is2024 ? "StreamedPackages" : "Official"), install / "Community"}));
    EXPECT_TRUE(fs::is_directory(install / (is2024 ? "Official2024" : "Official")));
    EXPECT_EQ(fs::exists(install / "StreamedPackages"), is2024);
    EXPECT_EQ(tree->streamedPackages.size(), is2024 ? 8U : 0U);
    EXPECT_EQ(tree->simaddonFiles, is2024 ? 4U : 2U);
    EXPECT_EQ(tree->thirdpartyFiles, is2024 ? 10U : 8U);
    EXPECT_EQ(tree->tbloFiles.size(), is2024 ? 6U : 4U);
    // The facility data serve exactly the airports that only they can give.
    EXPECT_EQ(tree->reference.facilityAirports.size(), is2024 ? 3U : 1U);
    EXPECT_NE(tree->reference.dbaseXml.find(is2024 ? "<simaddon24 arpts=\"EHAM,LOWL" : "<simaddon20 arpts=\"EHAM\""),
              std::string::npos);

    // A link file and a stand file never name one airport twice.
    std::set<std::string> named;
    for (const auto& link : tree->linkFiles) EXPECT_TRUE(named.insert(gf_pathToUtf8(link.file.stem())).second);
    for (const auto& stand : tree->standFiles) EXPECT_TRUE(named.insert(gf_pathToUtf8(stand.file.stem())).second);
    const auto egll = std::find_if(tree->linkFiles.begin(), tree->linkFiles.end(),
                                   [](const at::ExpectedLink& l) { return l.file.stem() == "EGLL"; });
    ASSERT_NE(egll, tree->linkFiles.end());
    EXPECT_EQ(egll->content, "archive/thirdparty/My%20Pub/EGLL.xml\n");
}

INSTANTIATE_TEST_SUITE_P(BothSimulators, AirportTree,
                         ::testing::Values(at::Simulator::msfs2020, at::Simulator::msfs2024));

TEST(AirportTreeFolder, RefusesFoldersThatChangeTheScan) {
    TempDir folder;
    fs::create_directories(folder / "busy");
    writeFile(folder / "busy" / "x.txt", "x");
    EXPECT_EQ(at::generateTree(at::Preset::full, folder / "busy").error(), at::TreeError::badFolder);
    // Every path below would be passed over, or judged by its publisher.
    EXPECT_EQ(at::generateTree(at::Preset::full, folder / "Aircraft" / "sim").error(), at::TreeError::badFolder);
    EXPECT_EQ(at::generateTree(at::Preset::full, folder / "northwind-sim").error(), at::TreeError::badFolder);
    EXPECT_EQ(at::generateTree(at::Preset::full, folder / "x-lowg-y").error(), at::TreeError::badFolder);
    EXPECT_EQ(at::generateTree(at::Preset::bench, folder / "b", {.streamedPackages = 5}).error(),
              at::TreeError::badOptions);
}

TEST(AirportTreeBench, SmallBenchReadsBackAsExpected) {
    TempDir folder;
    auto tree = at::generateTree(at::Preset::bench, folder / "install",
                                 {.simulator = at::Simulator::msfs2024,
                                  .fileCount = 60,
                                  .airportFiles = 6,
                                  .minParkings = 50,
                                  .maxParkings = 2000,
                                  .filesPerPackage = 20,
                                  .streamedPackages = 8});
    ASSERT_TRUE(tree) << tree.errorText();
    EXPECT_EQ(tree->bglFiles.size(), 60U);
    expectReadBack(*tree, listedCodes(tree->reference.airportsXml));
    std::size_t smallest = 5000;
    std::size_t largest = 0;
    for (const auto& file : tree->bglFiles) {
        for (const auto& airport : file.airports) {
            smallest = std::min(smallest, airport.standIds.size());
            largest = std::max(largest, airport.standIds.size());
        }
    }
    EXPECT_EQ(smallest, 50U);
    EXPECT_EQ(largest, 2000U);
    // Filler files stay near 1 KB.
    EXPECT_NEAR(static_cast<double>(fs::file_size(tree->bglFiles[1].path)), 1024.0, 64.0);
    // Streamed: every fourth maker airport is linked, the rest come from the facility data.
    EXPECT_EQ(tree->streamedPackages.size(), 8U);
    EXPECT_EQ(tree->reference.facilityAirports.size(), 6U);
}

TEST(AirportTreeDemo, AddsTheTwoAirportPackagesBesideTheLiveries) {
    TempDir folder;
    const fs::path install = folder / "packages";
    fs::create_directories(install / "Community" / "aig-aitraffic-oci-demo");
    auto tree = at::generateTree(at::Preset::demo, install);
    ASSERT_TRUE(tree) << tree.errorText();
    ASSERT_EQ(tree->bglFiles.size(), 2U);
    EXPECT_TRUE(tree->reference.airportsXml.empty());
    expectReadBack(*tree, {"LZIB", "LOWW"});
    ASSERT_EQ(tree->standFiles.size(), 2U);
    EXPECT_EQ(tree->standFiles[0].file, fs::path("airports/my_thirdparty/LZIB.xml"));
    EXPECT_EQ(tree->standFiles[0].standCount(), 9U);
    // The user's Vienna: the stands the demonstration's traffic and learned
    // flights name, in the folder whose learned files need no publisher.
    const at::ExpectedStandFile& vienna = tree->standFiles[1];
    EXPECT_EQ(vienna.file, fs::path("airports/my_simaddon/LOWW.xml"));
    EXPECT_EQ(vienna.publisher, "simaddon");
    EXPECT_EQ(vienna.ids, (std::vector<std::string>{"A1", "A10", "A11", "A12", "A2", "A3", "A4", "A5", "A6", "A7", "A8",
                                                    "A9", "R0"}));
    EXPECT_TRUE(fs::exists(install / "Official" / "OneStore" / "asobo-airport-loww-vienna" / "manifest.json"));
    // Only the unrecognised add-on goes to tblo (maker airports do for MSFS 2024 only).
    EXPECT_EQ(tree->tbloFiles, (std::set<std::string>{"LZIB.xml"}));
    // A second run finds the packages there already.
    EXPECT_EQ(at::generateTree(at::Preset::demo, install).error(), at::TreeError::badFolder);
}

TEST(AirportTreeDemo, IsAnInstallOfTheSimulatorOf2020Only) {
    TempDir folder;
    EXPECT_EQ(at::generateTree(at::Preset::demo, folder / "packages", {.simulator = at::Simulator::msfs2024}).error(),
              at::TreeError::badOptions);
}

}  // namespace
}  // namespace qvl::test
