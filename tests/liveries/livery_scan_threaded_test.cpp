#include "liveries/livery_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "liveries/liveries_file.h"
#include "liveries/scan_problem_files.h"
#include "liveries/support/liveries_folder.h"
#include "refdata/code_table.h"
#include "support/fake_status.h"
#include "support/temp_dir.h"
#include "tools/livery_tree/livery_tree.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
namespace lt = livery_tree;

std::vector<std::string> fileLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

class LiveryScanTest : public test::LiveriesFolder {
protected:
    void SetUp() override {
        LiveriesFolder::SetUp();
        ASSERT_NO_FATAL_FAILURE(readDbase(lt::referenceDbaseXml(lt::Preset::full)));
        auto generated = lt::generateTree(lt::Preset::full, community(), {});
        ASSERT_TRUE(generated) << generated.errorText();
        tree = std::move(*generated);
        fs::create_directories(kMyRegcodesFolder);
        test::writeFile(kMyRegcodesFolder / "livery_tree.txt", lt::myRegcodesText(tree));
    }

    fs::path community() const { return folder_.path() / "Community"; }

    LiveryScan scanWith(TaskPoolOptions pool) {
        return LiveryScan({.scan = state,
                           .run = run,
                           .status = status,
                           .regcodeResults = regcodeResults,
                           .openManualAndSettingsFolder = [this] { ++openerCalls; },
                           .pool = pool});
    }
    void scan(LiveryScan& scanner) { scanner.gf_scanLiveries({.communityFolder = community(), .simNumber = 1}); }

    static std::string described(const lt::ExpectedLivery& r) {
        return r.airline + "/" + r.secondAirline + "/" + r.model + (r.cargo ? " cargo" : "") + " '" + r.title +
               "' reg '" + r.registration + "'";
    }
    // LiveriesScanned.xml read back, one record a line.
    static std::vector<std::string> scannedRecords() {
        LiveryList read;
        lf_readLiveriesScanned(read);
        std::vector<std::string> records;
        for (const LiveryData& l : read) {
            records.push_back(described({.title = l.title,
                                         .registration = l.registration,
                                         .airline = std::string(airlineCodeOf(l.key.airlineId)),
                                         .secondAirline = std::string(airlineCodeOf(l.key.secondAirlineId)),
                                         .model = std::string(modelCodeOf(l.key.modelId)),
                                         .cargo = l.key.cargo != 0,
                                         .folderIndex = 0}));
        }
        return records;
    }
    std::vector<std::string> expectedRecords() const {
        std::vector<std::string> records;
        for (const auto& r : tree.scannedLiveries(true)) records.push_back(described(r));
        return records;
    }

    // The scan's files are exactly the expected ones.
    void expectTheTreesFiles() const {
        EXPECT_EQ(scannedRecords(), expectedRecords());
        const lt::ProblemLines want = tree.problemFiles();
        EXPECT_EQ(fileLines(kInvalidAirlineCodesTxt), want.invalidAirlineCodes);
        EXPECT_EQ(fileLines(kInvalidAircraftCodesTxt), want.invalidModelCodes);
        EXPECT_EQ(sorted(fileLines(kFixesTxt)), want.modelFixes);
        EXPECT_EQ(fileLines(kInvalidAircraftCfgFilesTxt), want.invalidCfgFiles);
        EXPECT_EQ(fileLines(kIncompleteSectionsTxt), want.incompleteSections);
        EXPECT_EQ(fileLines(kNoFltsimSectionTxt), want.noFltsimFiles);
    }

    lt::TreeExpectation tree;
    LiveryScanState state;
    RunState run;
    test::FakeStatus status;
    std::vector<std::string> regcodeResults;
    int openerCalls = 0;
};

TEST_F(LiveryScanTest, TheTreeGivesExactlyTheExpectedFilesAndASecondScanTheSame) {
    LiveryScan scanner = scanWith({.workerCount = 4, .timeout = std::chrono::seconds(30)});
    SCAN_LIVERIES.set(true);
    scan(scanner);
    ASSERT_NO_FATAL_FAILURE(expectTheTreesFiles());
    EXPECT_FALSE(SCAN_LIVERIES.value());
    EXPECT_EQ(status.usableStates(AI_PACKAGE_SELECTOR), (std::vector<bool>{false, true}));
    EXPECT_TRUE(logHas("Automatic AIG scan found folder"));
    EXPECT_EQ(state.incompleteSections.size(), 0U) << "the lists are emptied once written";

    const std::string first = test::readFile(kIncompleteSectionsTxt);
    scan(scanner);
    EXPECT_EQ(test::readFile(kIncompleteSectionsTxt), first);
    ASSERT_NO_FATAL_FAILURE(expectTheTreesFiles());
}

TEST_F(LiveryScanTest, AFolderWhoseNameIsNoUtf8IsNotEnteredSoNoProblemFileNamesIt) {
    // An aircraft.cfg without fltsim sections would be named in the info file.
    const fs::path bad = tree.packageFolders.at(0) / "Caf\xE9 fleet" / "aircraft.cfg";
    fs::create_directories(bad.parent_path());
    test::writeFile(bad, "[general]\natc_type=none\n");
    LiveryScan scanner = scanWith({.workerCount = 4, .timeout = std::chrono::seconds(30)});
    scan(scanner);
    ASSERT_NO_FATAL_FAILURE(expectTheTreesFiles());
    EXPECT_TRUE(logHas("liveries scan: 1 entry of " + gf_pathToUtf8(tree.packageFolders.at(0)) + " passed over"));
}

TEST_F(LiveryScanTest, ACancelledScanWritesNothingAndKeepsThePreviousResult) {
    fs::create_directories(kLiveriesScannedXml.parent_path());
    test::writeFile(kLiveriesScannedXml, "previous");
    LiveryScan scanner = scanWith({.workerCount = 4, .timeout = std::chrono::seconds(30)});
    SCAN_LIVERIES.set(true);
    run.endRun(RestartReason::userClosedSim, 0);
    scan(scanner);
    EXPECT_EQ(test::readFile(kLiveriesScannedXml), "previous");
    EXPECT_FALSE(fs::exists(kIncompleteSectionsTxt));
    EXPECT_TRUE(SCAN_LIVERIES.value()) << "the next start scans again";

    // What a scan that ended half way would leave behind.
    for (const auto& livery : tree.scannedLiveries(true)) state.seenTitles.take(livery.title);
    state.modelFixes.add("Model fix: left from an earlier scan");
    state.incompleteSections.add("left from an earlier scan");
    run.reset();
    scan(scanner);
    ASSERT_NO_FATAL_FAILURE(expectTheTreesFiles());
}

TEST_F(LiveryScanTest, AFileThatTakesTooLongEndsTheScanAndTheNextScanIsWhole) {
    fs::create_directories(kLiveriesScannedXml.parent_path());
    test::writeFile(kLiveriesScannedXml, "previous");
    // First in the walk: a file of 16 MiB takes far longer than the time-out.
    const fs::path slow = tree.packageFolders.at(0) / "000" / "aircraft.cfg";
    fs::create_directories(slow.parent_path());
    {
        std::ofstream out(slow, std::ios::binary);
        const std::string section = "[fltsim.0]\ntitle=Slow\n";
        for (std::size_t written = 0; written + section.size() <= (std::size_t{16} << 20U); written += section.size()) {
            out << section;
        }
    }
    SCAN_LIVERIES.set(true);
    {
        LiveryScan hasty = scanWith({.workerCount = 1, .timeout = std::chrono::milliseconds(1)});
        EXPECT_THROW(scan(hasty), TaskTimeoutError);
    }
    EXPECT_EQ(test::readFile(kLiveriesScannedXml), "previous");
    EXPECT_TRUE(SCAN_LIVERIES.value());

    fs::remove_all(slow.parent_path());
    LiveryScan scanner = scanWith({.workerCount = 4, .timeout = std::chrono::seconds(30)});
    scan(scanner);
    ASSERT_NO_FATAL_FAILURE(expectTheTreesFiles());
}

TEST_F(LiveryScanTest, NoPackagesNoFoldersOrNoLiveriesAreTheUsersToMend) {
    LiveryScan scanner = scanWith({.workerCount = 2, .timeout = std::chrono::seconds(30)});
    const auto codeOf = [&](const fs::path& where) {
        try {
            scanner.gf_scanLiveries({.communityFolder = where, .simNumber = 1});
        } catch (const UserErrorException& e) {
            return e.code();
        }
        return 0;
    };
    const fs::path empty = folder_.path() / "EmptyCommunity";
    fs::create_directories(empty);
    EXPECT_EQ(codeOf(empty), 43);
    EXPECT_EQ(status.usableStates(AI_PACKAGE_SELECTOR).back(), true);

    LIG_AUTOMATIC.set(false);
    EXPECT_EQ(codeOf({}), 48);
    EXPECT_EQ(openerCalls, 1);
    lfolder0.set(empty.string());
    EXPECT_EQ(codeOf({}), 53);
}

}  // namespace
}  // namespace qvl
