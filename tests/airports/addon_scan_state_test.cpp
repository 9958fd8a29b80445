// The scan log and its file.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qvl::test
