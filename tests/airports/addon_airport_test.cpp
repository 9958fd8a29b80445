// Linking add-on airports to the archive, generating their files, detecting
// their codes, and the leftover pass over BGL files that gave no airport.
#include <gtest/gtest.h>

#include <iterator>
#include <set>

#include "airports/addon/addon_airport.h"
#include "airports/support/addon_fixture.h"
#include "core/files.h"
#include "core/paths.h"
#include "core/user_error.h"

namespace qvl::test {
namespace {

namespace fs = std::filesystem;

class AddonAirport : public AddonFolder {
protected:
    AddonAirportParts parts() { return {.scan = scan, .simNumber = 1}; }
    ApfRecord record(const char* icao, const char* publisher = "") {
        return ApfRecord{.icao = FixedCode4(icao), .publisher = publisher};
    }
    TableFacilities facilities;
};

TEST_F(AddonAirport, ThirdpartyLinkFileNamesTheArchivedFile) {
    ApfRecord egll = record("EGLL", "My Pub");
    const ArchiveLink link = link2archive(parts(), egll, std::nullopt, folder / "x.bgl");
    EXPECT_TRUE(link.linked());
    EXPECT_EQ(link.archivedStands, 117);
    EXPECT_EQ(readFile(kMyThirdpartyFolder / "EGLL.txt"), "archive/thirdparty/My%20Pub/EGLL.xml\n");
    EXPECT_TRUE(inScanLog("thirdparty airport EGLL linked to archive/thirdparty/My%20Pub/EGLL.xml\n\n"));
}

TEST_F(AddonAirport, PublisherComparedExactlyAndCodeAloneCounts) {
    ApfRecord lower = record("EGLL", "my pub");
    EXPECT_EQ(link2archive(parts(), lower, std::nullopt, folder / "x.bgl").outcome, LinkOutcome::notArchived);
    EXPECT_TRUE(inScanLog("thirdparty my pub EGLL does not exist"));

    dbaseTablesForWriting().thirdparties20 = {{.publisher = "Orbx", .airports = {"EGLL"}}};
    std::int32_t count = -1;
    EXPECT_EQ(lf_existsAsThirdparty(parts(), "Orbx", FixedCode4("EGLL"), count), "archive/thirdparty/Orbx/EGLL.xml");
    EXPECT_EQ(count, 0);
    EXPECT_EQ(lf_existsAsSimaddon({.scan = scan, .simNumber = 2}, FixedCode4("EHAM")), std::nullopt)
        << "MSFS 2024 has its own table";
}

TEST_F(AddonAirport, LinkFileThatCannotBeWrittenIsNoLink) {
    fs::create_directories(kMySimaddonFolder / "EHAM.txt" / "in-the-way");
    ApfRecord eham = record("EHAM", "simaddon");
    EXPECT_EQ(link2archive(parts(), eham, std::nullopt, folder / "x.bgl").outcome, LinkOutcome::linkNotWritten);
    EXPECT_FALSE(inScanLog("linked to"));
}

TEST_F(AddonAirport, GeneratedFileSortsStandsAndCountsHelipads) {
    ApfRecord egll = record("EGLL", "Orbx");
    egll.stands = {standAt("9", 51.1), standAt("10", 51.2), standAt("H1", 51.3, true)};
    EXPECT_EQ(lf_generateAirportFile(parts(), egll, 1), AirportFileOutcome::written);
    EXPECT_TRUE(inScanLog("Generated EGLL.xml: 3 positions, of which 1 helipad\n\n"));
    const std::string file = readFile(kMyThirdpartyFolder / "EGLL.xml");
    EXPECT_LT(file.find("\"10\""), file.find("\"9\"")) << "ids in byte order";

    ApfRecord one = record("EHAM", "simaddon");
    one.stands = {standAt("A", 52.0)};
    EXPECT_EQ(lf_generateAirportFile(parts(), one, 0), AirportFileOutcome::written);
    EXPECT_TRUE(inScanLog("Generated EHAM.xml: 1 position\n"));
    EXPECT_TRUE(fs::exists(kMySimaddonFolder / "EHAM.xml"));
    ApfRecord empty = record("LFPG");
    EXPECT_EQ(lf_generateAirportFile(parts(), empty, 0), AirportFileOutcome::noStands);
}

// A kill between the write of a stand file and its rename, played by a
// rename that never happens: the file of the last scan stays whole, no
// temporary file is left, and nothing goes to tblo.zip.
TEST_F(AddonAirport, AStandFileIsNeverLeftHalfWritten) {
    writeFile(kMyThirdpartyFolder / "EGLL.xml", "<old/>");
    ApfRecord egll = record("EGLL", "Orbx");
    egll.stands = {standAt("1", 51.1)};
    setRenameFunctionForTests([](const fs::path&, const fs::path&) { return false; });
    const AirportFileOutcome outcome = lf_generateAirportFile(parts(), egll, 0);
    setRenameFunctionForTests(nullptr);
    EXPECT_EQ(outcome, AirportFileOutcome::failed);
    EXPECT_EQ(readFile(kMyThirdpartyFolder / "EGLL.xml"), "<old/>");
    EXPECT_EQ(std::distance(fs::directory_iterator(kMyThirdpartyFolder), {}), 1);
    EXPECT_TRUE(scan.generatedFiles.empty());
    EXPECT_TRUE(inScanLog("Generating airports/my_thirdparty/EGLL.xml did not succeed"));
}

// What a kill left behind is removed at the scan's first write into a
// folder, and the folder is not listed again for every file.
TEST_F(AddonAirport, StaleTemporariesGoOncePerFolderAndScan) {
    writeFile(kMyThirdpartyFolder / "EGLL.xml.77.0.qvlt.tmp", "<half");
    ApfRecord egll = record("EGLL", "Orbx");
    egll.stands = {standAt("1", 51.1)};
    ASSERT_EQ(lf_generateAirportFile(parts(), egll, 0), AirportFileOutcome::written);
    EXPECT_FALSE(fs::exists(kMyThirdpartyFolder / "EGLL.xml.77.0.qvlt.tmp"));
    EXPECT_TRUE(logged("EGLL.xml.77.0.qvlt.tmp, left by an interrupted write"));

    writeFile(kMyThirdpartyFolder / "EHAM.xml.78.0.qvlt.tmp", "<half");
    ApfRecord eham = record("EHAM", "Orbx");
    eham.stands = {standAt("1", 52.1)};
    ASSERT_EQ(lf_generateAirportFile(parts(), eham, 0), AirportFileOutcome::written);
    EXPECT_TRUE(fs::exists(kMyThirdpartyFolder / "EHAM.xml.78.0.qvlt.tmp")) << "the folder was cleaned already";
    EXPECT_EQ(*scan.generatedFiles.at(kMyThirdpartyFolder / "EHAM.xml").bytes,
              readFile(kMyThirdpartyFolder / "EHAM.xml"));

    // The end of the scan flushes the batch; the next scan cleans again.
    EXPECT_TRUE(scan.files.flush());
    ASSERT_EQ(lf_generateAirportFile(parts(), eham, 0), AirportFileOutcome::written);
    EXPECT_FALSE(fs::exists(kMyThirdpartyFolder / "EHAM.xml.78.0.qvlt.tmp"));
}

TEST_F(AddonAirport, CodeFromStemManifestTitleOrPath) {
    EXPECT_EQ(lf_detectAirportICAO(scan, put("pkg/egll.bgl")).icao, FixedCode4("EGLL"));
    EXPECT_TRUE(inScanLog("ICAO code 'EGLL' as BGL stem"));

    put("bad/manifest.json", R"({"title":"EHAM"})");
    const DetectedAirport bad = lf_detectAirportICAO(scan, put("bad/AB-1.bgl"));
    EXPECT_FALSE(bad.icao);
    EXPECT_FALSE(bad.manifest) << "a stem that is no code ends the detection";
    EXPECT_TRUE(inScanLog("Exception FixedCode: invalid string (length/charset)"));

    put("Community/x-LFPG-y/manifest.json", R"({"title":"LFPG Paris","creator":"c"})");
    const DetectedAirport titled = lf_detectAirportICAO(scan, put("Community/x-LFPG-y/scenery/parts.bgl"));
    EXPECT_EQ(titled.icao, FixedCode4("LFPG"));
    EXPECT_EQ(titled.manifest, (PublisherInfo{.creator = "c", .title = "LFPG Paris"}));

    put("Community/y-EHAM-z/manifest.json", R"({"title":"Amsterdam"})");
    EXPECT_EQ(lf_detectAirportICAO(scan, put("Community/y-EHAM-z/scenery/parts.bgl")).icao, FixedCode4("EHAM"));
    EXPECT_TRUE(inScanLog("airport has ICAO 'EHAM' in BGL path"));
    EXPECT_FALSE(lf_detectAirportICAO(scan, put("none/-EGLL-/parts.bgl")).icao) << "no manifest: no path search";
}

class LeftoverPass : public AddonAirport {
protected:
    std::vector<fs::path> bgl;
    void SetUp() override {
        AddonAirport::SetUp();
        put("Community/tp-LFPG-/manifest.json", R"({"title":"LFPG","creator":"Somebody"})");
        put("Community/asobo-airport-eham/manifest.json", R"({"title":"EHAM"})");
        put("Community/orbx-eham/manifest.json", R"({"title":"EHAM"})");
        bgl = {put("Community/a/egll.bgl"), put("Community/b/ehyy.bgl"), put("Community/tp-LFPG-/scenery/x.bgl"),
               put("Community/asobo-airport-eham/x.bgl"), put("Community/orbx-eham/x.bgl")};
        // Opened in another order, some twice; the first file gave its airport.
        for (const auto& path : {bgl[4], bgl[2], bgl[0], bgl[1], bgl[3], bgl[2]}) noteBglFileOpened(scan, path);
        noteBglFileHandled(scan, bgl[0]);
        noteBglFileHandled(scan, bgl[0]);
    }
};

TEST_F(LeftoverPass, ReadsUnhandledFilesOnceAndEmptiesTheLists) {
    dbaseTablesForWriting().simaddonAirports20.clear();
    facilities.airports["LFPG"] = {.stands = {standAt("B", 49.0), standAt("A", 49.1)}};
    const LeftoverPassCounts counts = lf_processAddonAirport(parts(), facilities, {bgl[1]});
    EXPECT_EQ(counts.unread, 4u);
    EXPECT_EQ(counts.inFlight, 1u);
    EXPECT_EQ(counts.linked, 1u) << "orbx-eham is archived";
    EXPECT_EQ(counts.generated, 1u);
    EXPECT_EQ(facilities.asked, std::vector<std::string>{"LFPG"}) << "no read for a simaddon nor a file in flight";
    EXPECT_TRUE(fs::exists(kMyThirdpartyFolder / "LFPG.xml"));
    EXPECT_TRUE(fs::exists(kMyThirdpartyFolder / "EHAM.txt"));
    EXPECT_TRUE(inScanLog("Could not read 4 BGL files"));
    EXPECT_TRUE(inScanLog("ehyy.bgl is still being read, left out"));
    EXPECT_TRUE(scan.bglFilesOpened.empty());
    EXPECT_TRUE(scan.bglFilesHandled.empty());

    noteBglFileOpened(scan, bgl[0]);
    noteBglFileHandled(scan, bgl[0]);
    clearScanLog(scan);
    (void)lf_processAddonAirport(parts(), facilities, {});
    EXPECT_FALSE(inScanLog("Could not read"));
}

TEST_F(LeftoverPass, AirportWithoutStandsGetsALineAndNoFile) {
    const LeftoverPassCounts counts = lf_processAddonAirport(parts(), facilities, {bgl[1]});
    EXPECT_EQ(counts.noStands, 1u);
    EXPECT_FALSE(fs::exists(kMyThirdpartyFolder / "LFPG.xml"));
    EXPECT_TRUE(inScanLog("No stand and no helipad in the facility data of LFPG, no file"));
}

TEST_F(LeftoverPass, FacilityDataThatCannotBeReadEndsTheScanWithItsLogWritten) {
    facilities.connected = false;
    try {
        (void)lf_processAddonAirport(parts(), facilities, {});
        FAIL() << "no user error";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(e.code(), kFacilityDataUnavailableCode);
    }
    EXPECT_NE(readFile(kAirportsScanLogFile).find("Reading Facilites data for LFPG via SimConnect failed"),
              std::string::npos);
    EXPECT_EQ(scan.bglFilesOpened.size(), 5u) << "the lists keep their content";
    EXPECT_TRUE(scan.bglPathsMutex.try_lock()) << "released on the way out";
    scan.bglPathsMutex.unlock();
}

}  // namespace
}  // namespace qvl::test
