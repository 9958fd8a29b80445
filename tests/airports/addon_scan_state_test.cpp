// The scan log and its file, and the airport folders' files across a rescan.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "airports/addon/addon_scan_state.h"
#include "airports/support/addon_fixture.h"

namespace qvl::test {
namespace {

using ScanLog = AddonFolder;

TEST_F(ScanLog, CheckpointWriteThenFinalWriteKeepsEveryLineInOrder) {
    lf_addScanLogLine(scan, "first");
    lf_addScanLogLine(scan, "\nBGL: x.bgl");
    ASSERT_TRUE(writeScanLog(scan));
    EXPECT_EQ(readFile(kAirportsScanLogFile), "first\n\nBGL: x.bgl\n");
    addScanLogLines(scan, {"Generated EGLL.xml: 1 position", "last"});
    ASSERT_TRUE(writeScanLog(scan));
    EXPECT_EQ(readFile(kAirportsScanLogFile), "first\n\nBGL: x.bgl\nGenerated EGLL.xml: 1 position\nlast\n");
}

TEST_F(ScanLog, ResetEmptiesEverything) {
    lf_addScanLogLine(scan, "line");
    noteBglFileOpened(scan, "a.bgl");
    noteBglFileHandled(scan, "a.bgl");
    scan.tbloFileCount = 3;
    scan.reset();
    EXPECT_TRUE(scanLogLines(scan).empty());
    EXPECT_TRUE(scan.bglFilesOpened.empty());
    EXPECT_TRUE(scan.bglFilesHandled.empty());
    EXPECT_EQ(scan.tbloFileCount.load(), 0u);
    EXPECT_GE(scan.airportsScanLog.capacity(), kScanLogReserve);
}

// A rescan leaves a file it produces alike untouched, rewrites one whose
// bytes changed (even at the same size), writes a new one, and settling
// removes only what it did not produce again.
TEST_F(ScanLog, ARescanTouchesOnlyChangedFilesAndSettlingRemovesTheRest) {
    namespace fs = std::filesystem;
    const fs::path airports = kMyThirdpartyFolder;
    writeFile(airports / "SAME.xml", "same bytes");
    writeFile(airports / "EDIT.xml", "old bytes!");
    writeFile(airports / "GONE.txt", "stale");
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(48);
    for (const char* name : {"SAME.xml", "EDIT.xml"}) fs::last_write_time(airports / name, longAgo);
    noteEarlierFiles(scan, airports);
    ASSERT_EQ(scan.earlierFiles.size(), 3U);

    EXPECT_TRUE(writeProducedFile(scan, airports / "SAME.xml", "same bytes"));
    EXPECT_TRUE(writeProducedFile(scan, airports / "EDIT.xml", "new bytes!"));
    EXPECT_TRUE(writeProducedFile(scan, airports / "NEW1.xml", "new file"));
    EXPECT_EQ(fs::last_write_time(airports / "SAME.xml"), longAgo) << "not written again";
    EXPECT_NE(fs::last_write_time(airports / "EDIT.xml"), longAgo);
    EXPECT_TRUE(fs::exists(airports / "GONE.txt")) << "kept until the folder is settled";

    settleFolder(scan, airports);
    EXPECT_TRUE(scan.earlierFiles.empty());
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(airports)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"EDIT.xml", "NEW1.xml", "SAME.xml"}));
    EXPECT_EQ(readFile(airports / "SAME.xml"), "same bytes");
    EXPECT_EQ(readFile(airports / "EDIT.xml"), "new bytes!");
    EXPECT_EQ(readFile(airports / "NEW1.xml"), "new file");
}

}  // namespace
}  // namespace qvl::test
