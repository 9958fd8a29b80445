#include "liveries/scan_problem_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/files.h"
#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

class ScanProblemFiles : public test::LiveriesFolder {
protected:
    void SetUp() override {
        LiveriesFolder::SetUp();
        fs::create_directories(kInfoFolder);
    }
    static std::string read(const fs::path& file) { return test::readFile(file); }
};

TEST_F(ScanProblemFiles, AScanWithoutProblemsWritesNoFile) {
    lf_writeScanErrorFiles(scan_);
    EXPECT_TRUE(logHas("\nNo errors\n\nInformation:\n"));
    EXPECT_FALSE(fs::exists(kErrorsFolder));
    EXPECT_TRUE(fs::is_empty(kInfoFolder));
}

TEST_F(ScanProblemFiles, FilesWithoutFltsimSectionsAreInformationOnly) {
    scan_.noFltsimFiles.add("b/aircraft.cfg");
    scan_.noFltsimFiles.add("a/aircraft.cfg");
    lf_writeScanErrorFiles(scan_);
    EXPECT_TRUE(
        logHas("\nNo errors\n\nInformation:\n    2 empty aircraft.cfg files, see "
               "output/info/AircraftCfgWithNoFltsimSection.txt\n"));
    EXPECT_EQ(read(kNoFltsimSectionTxt), "a/aircraft.cfg\nb/aircraft.cfg\n");
    EXPECT_FALSE(fs::exists(kErrorsFolder));
}

TEST_F(ScanProblemFiles, CountsTakeThePluralSuffixAndFilesAreSorted) {
    lf_addInvalidAirlineCode(scan_, "QQQ", "a.cfg", "[fltsim.0]");
    lf_addInvalidModelCode(scan_, "B7X8", "b.cfg");
    lf_addInvalidModelCode(scan_, "A3XX", "a.cfg");
    lf_writeScanErrorFiles(scan_);
    EXPECT_TRUE(
        logHas("\nErrors:\n    1 invalid airline code, see output/errors/InvalidAirlineCodes.txt\n"
               "    2 invalid model codes, see output/errors/InvalidAircraftCodes.txt\n"));
    EXPECT_EQ(read(kInvalidAirlineCodesTxt), "QQQ          in a.cfg [fltsim.0]\n");
    EXPECT_EQ(read(kInvalidAircraftCodesTxt), "A3XX             in a.cfg\nB7X8             in b.cfg\n");
}

TEST_F(ScanProblemFiles, AProblemFileThatCannotBeWrittenWholeKeepsItsOldContentAndIsNotPointedAt) {
    fs::create_directories(kErrorsFolder);
    test::writeFile(kInvalidAirlineCodesTxt, "QQQ          in old.cfg [fltsim.0]\n");
    lf_addInvalidAirlineCode(scan_, "XXQ", "a.cfg", "[fltsim.0]");
    setRenameFunctionForTests([](const fs::path&, const fs::path&) { return false; });
    lf_writeScanErrorFiles(scan_);
    setRenameFunctionForTests(nullptr);
    EXPECT_EQ(read(kInvalidAirlineCodesTxt), "QQQ          in old.cfg [fltsim.0]\n");
    EXPECT_TRUE(logHas("    1 invalid airline code, could not write output/errors/InvalidAirlineCodes.txt\n"));
    EXPECT_EQ(std::distance(fs::directory_iterator(kErrorsFolder), {}), 1) << "no temporary file left";
}

TEST_F(ScanProblemFiles, RepeatedSectionLinesAreWrittenOnceButCountedEachTime) {
    lf_addIncompleteSection(scan_, "b misses title");
    lf_addIncompleteSection(scan_, "a misses title");
    lf_addIncompleteSection(scan_, "b misses title");
    lf_addInvalidCfgFile(scan_, "x.cfg unusable");
    lf_addModelFix(scan_, "Model fix: B7378 found in b changed into B38M");
    lf_addModelFix(scan_, "Model fix: A320N found in a changed into A20N");
    lf_writeScanErrorFiles(scan_);
    EXPECT_EQ(read(kFixesTxt),
              "Model fix: B7378 found in b changed into B38M\nModel fix: A320N found in a changed into A20N\n")
        << "fixes keep their order";
    EXPECT_TRUE(logHas("    2 fixes, see output/errors/Fixes.txt\n"));
    EXPECT_EQ(read(kIncompleteSectionsTxt), "a misses title\nb misses title\n");
    EXPECT_TRUE(
        logHas("    1 invalid aircraft.cfg files, see output/errors/InvalidAircraftCfgFiles.txt\n"
               "    3 incomplete [fltsim.x] sections, see output/errors/IncompleFltsimSections.txt\n"));
    EXPECT_EQ(scan_.incompleteSections.size(), 3U) << "the lists stay as they are";
}

TEST_F(ScanProblemFiles, AFileThatCannotBeWrittenIsReportedAsNotWritten) {
    fs::create_directories(kInvalidAirlineCodesTxt);  // a folder in the file's place
    fs::create_directories(kFixesTxt);
    lf_addInvalidAirlineCode(scan_, "QQQ", "a.cfg", "[fltsim.0]");
    lf_addModelFix(scan_, "Model fix: x");
    lf_writeScanErrorFiles(scan_);
    EXPECT_TRUE(logHas("    1 invalid airline code, could not write output/errors/InvalidAirlineCodes.txt\n"));
    EXPECT_TRUE(logHas("    1 fixes, could not write output/errors/Fixes.txt\n"));
    EXPECT_FALSE(logHas("see output/errors/InvalidAirlineCodes.txt"));
    EXPECT_FALSE(logHas("see output/errors/Fixes.txt"));
}

TEST_F(ScanProblemFiles, ThePreviousScansFilesAndTheErrorsFolderAreRemoved) {
    lf_addInvalidAirlineCode(scan_, "QQQ", "a.cfg", "[fltsim.0]");
    scan_.noFltsimFiles.add("a.cfg");
    lf_writeScanErrorFiles(scan_);
    test::writeFile(kLiveriesScannedXml, "<root/>");
    test::writeFile(kInlineRegcodesTxt, "x\n");
    lf_removePreviousScanFiles();
    EXPECT_FALSE(fs::exists(kErrorsFolder));
    EXPECT_FALSE(fs::exists(kLiveriesScannedXml));
    EXPECT_FALSE(fs::exists(kNoFltsimSectionTxt));
    EXPECT_TRUE(fs::exists(kInfoFolder));
    EXPECT_FALSE(logHas("problems with removing"));

    lf_writeScanErrorFiles(scan_);
    EXPECT_TRUE(fs::exists(kInvalidAirlineCodesTxt)) << "the errors folder comes back";
}

TEST_F(ScanProblemFiles, AFolderThatCannotBeRemovedIsLoggedOnce) {
    fs::create_directories(kErrorsFolder);
    test::writeFile(kErrorsFolder / "notes.txt", "mine");
    test::writeFile(kFixesTxt, "old");
    lf_removePreviousScanFiles();
    EXPECT_FALSE(fs::exists(kFixesTxt));
    EXPECT_TRUE(fs::exists(kErrorsFolder / "notes.txt"));
    EXPECT_TRUE(logHas("problems with removing previous files: "));
}

}  // namespace
}  // namespace qvl
