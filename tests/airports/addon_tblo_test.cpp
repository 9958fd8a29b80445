// The package of unarchived airports: copies into tblo and tblo.zip, read
// back with libzip.
#include <gtest/gtest.h>
#include <zip.h>

#include <map>

#include "airports/addon/tblo.h"
#include "airports/support/addon_fixture.h"
#include "core/settings.h"

namespace qvl::test {
namespace {

namespace fs = std::filesystem;

// Entry name -> bytes of every entry of the zip file.
std::map<std::string, std::string> zipEntries(const fs::path& file) {
    std::map<std::string, std::string> entries;
    int error = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string bytes(stat.size, '\0');
        zip_file_t* entry = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (entry != nullptr) {
            zip_fread(entry, bytes.data(), stat.size);
            zip_fclose(entry);
        }
        entries[stat.name] = bytes;
    }
    zip_close(archive);
    return entries;
}

class Tblo : public AddonFolder {
protected:
    void SetUp() override {
        AddonFolder::SetUp();
        fs::create_directories(kTbloFolder);
    }
    std::string airportFile(const std::string& publisher, const std::string& manufacturer = "",
                            const std::string& creator = "") {
        return standFile({{"publisher", publisher}, {"manufacturer", manufacturer}, {"creator", creator}}, "");
    }
    // A stand file the scan generated: on disk, and kept as written.
    void generated(const fs::path& airportFolder, const std::string& icao, const std::string& publisher,
                   const std::string& manufacturer = "", const std::string& creator = "") {
        const std::string bytes = airportFile(publisher, manufacturer, creator);
        writeFile(airportFolder / (icao + ".xml"), bytes);
        scan.generatedFiles[airportFolder / (icao + ".xml")] = {.icao = FixedCode4(icao),
                                                                .publisher = publisher,
                                                                .manufacturer = manufacturer,
                                                                .creator = creator,
                                                                .bytes = std::make_shared<const std::string>(bytes)};
    }
};

TEST_F(Tblo, ThreeFilesPackedUnderTheirNamesAndTheUserAskedToMail) {
    writeFile(kTbloFolder / "EGLL.xml", "<a/>");
    writeFile(kTbloFolder / "EHAM.xml", std::string(5000, 'x'));
    writeFile(kTbloFolder / "notes.txt", "");
    EXPECT_EQ(lf_zipTbloFolder(scan, status), 3u);
    EXPECT_EQ(zipEntries(kTbloZipFile),
              (std::map<std::string, std::string>{
                  {"EGLL.xml", "<a/>"}, {"EHAM.xml", std::string(5000, 'x')}, {"notes.txt", ""}}));
    EXPECT_EQ(scan.tbloFileCount.load(), 3u);
    EXPECT_TRUE(logged(
        fmt::format("[zip] Added 3 files, ok_close=true, exists=true, size={} bytes", fs::file_size(kTbloZipFile))));
    EXPECT_TRUE(logged("! Mail tblo/tblo.zip to "));
    EXPECT_EQ(status.usableStates(TBLO_ZIP_BUTTON), std::vector<bool>{true});
    EXPECT_EQ(status.counts.at(StatusCount::unrecognisedAirports), 3u) << "the window's mail hint";
    EXPECT_FALSE(fs::exists(kTbloFolder / "EGLL.xml")) << "the copies are gone, the zip stays";
    EXPECT_TRUE(fs::exists(kTbloFolder / "notes.txt"));
}

TEST_F(Tblo, FailedPackingCountsNothingAndAsksForNothing) {
    writeFile(kTbloFolder / "EGLL.xml", "<a/>");
    fs::create_directories(kTbloZipFile / "in-the-way");  // the finished zip cannot take its place
    EXPECT_EQ(lf_zipTbloFolder(scan, status), 0u);
    EXPECT_EQ(scan.tbloFileCount.load(), 0u);
    EXPECT_TRUE(status.usableStates(TBLO_ZIP_BUTTON).empty());
    EXPECT_EQ(status.counts.at(StatusCount::unrecognisedAirports), 0u);
    EXPECT_FALSE(logged("! Mail"));
    EXPECT_TRUE(logged("ok_close=false"));
    EXPECT_TRUE(logged("==> Zippen TBLO folder failed: "));
    EXPECT_FALSE(fs::exists(kTbloFolder / "EGLL.xml"));
}

TEST_F(Tblo, EmptyFolderMeansEverythingRecognised) {
    scan.tbloFileCount = 7;
    EXPECT_EQ(lf_zipTbloFolder(scan, status), 0u);
    EXPECT_EQ(scan.tbloFileCount.load(), 0u);
    EXPECT_TRUE(logged("All your simaddon and third party airports are recognised"));
    EXPECT_FALSE(fs::exists(kTbloZipFile));
}

TEST_F(Tblo, ThirdpartyFilesWorthSendingArePacked) {
    generated(kMyThirdpartyFolder, "EGLL", "My Pub");
    writeFile(kMyThirdpartyFolder / "EGLL.txt", "archive/thirdparty/My%20Pub/EGLL.xml\n");
    generated(kMyThirdpartyFolder, "EHAM", "", "abc");
    generated(kMyThirdpartyFolder, "LFPG", "", "Someone");
    generated(kMyThirdpartyFolder, "KMCI", "TropicalSim");
    generated(kMyThirdpartyFolder, "ZZZZ", "My Pub");
    lf_copyThirdpartyFiles(scan);
    EXPECT_FALSE(fs::exists(kMyThirdpartyFolder / "EGLL.xml")) << "its link file stays in its place";
    EXPECT_TRUE(fs::exists(kMyThirdpartyFolder / "EGLL.txt"));
    EXPECT_FALSE(fs::exists(kMyThirdpartyFolder / "KMCI.xml"));
    EXPECT_TRUE(fs::exists(kMyThirdpartyFolder / "EHAM.xml"));
    EXPECT_FALSE(scan.generatedFiles.contains(kMyThirdpartyFolder / "EGLL.xml"));
    EXPECT_TRUE(scan.generatedFiles.contains(kMyThirdpartyFolder / "EHAM.xml"));
    EXPECT_TRUE(std::filesystem::is_empty(kTbloFolder)) << "nothing is copied";
    // A 3-character manufacturer says nothing; KMCI is never sent; ZZZZ is
    // not a known airport.
    EXPECT_EQ(lf_zipTbloFolder(scan, status), 2u);
    EXPECT_EQ(zipEntries(kTbloZipFile), (std::map<std::string, std::string>{{"EGLL.xml", airportFile("My Pub")},
                                                                            {"LFPG.xml", airportFile("", "Someone")}}));
    EXPECT_TRUE(logged("[zip] Adding (data) airports/my_thirdparty/EGLL.xml -> EGLL.xml ("));
}

// Without a publisher, a maker of four characters or more names someone,
// whether manufacturer or creator; the simulator's own creator does not.
TEST_F(Tblo, AThirdpartyFileWhoseOnlyMakerIsItsCreatorOrAFourCharacterManufacturerIsPacked) {
    generated(kMyThirdpartyFolder, "EHAM", "", "", "Someone");
    generated(kMyThirdpartyFolder, "LFPG", "", "Abcd");
    generated(kMyThirdpartyFolder, "EGLL", "", "", "Vardo");
    lf_copyThirdpartyFiles(scan);
    EXPECT_EQ(lf_zipTbloFolder(scan, status), 2u);
    EXPECT_EQ(zipEntries(kTbloZipFile),
              (std::map<std::string, std::string>{{"EHAM.xml", airportFile("", "", "Someone")},
                                                  {"LFPG.xml", airportFile("", "Abcd")}}));
}

TEST_F(Tblo, SimaddonFilesOfKnownAirportsArePacked) {
    generated(kMySimaddonFolder, "EHAM", "simaddon");
    generated(kMySimaddonFolder, "ZZZZ", "simaddon");
    EXPECT_EQ(lf_copySimaddonFiles(scan), 1u);
    EXPECT_TRUE(fs::exists(kMySimaddonFolder / "EHAM.xml")) << "no link file: the file stays";
    EXPECT_TRUE(logged("1 simaddon file copied to tblo folder"));
    EXPECT_EQ(lf_zipTbloFolder(scan, status), 1u);
    EXPECT_EQ(zipEntries(kTbloZipFile), (std::map<std::string, std::string>{{"EHAM.xml", airportFile("simaddon")}}));
}

TEST(ZipArchive, CloseThatCannotWriteItsFileFails) {
    TempDir dir;
    auto archive = ZipArchiveWriter::create();
    ASSERT_TRUE(archive);
    const std::string bytes = "data";
    ASSERT_TRUE(archive->add("a.txt", bytes));
    const auto closed = archive->closeInto(dir / "missing-folder" / "a.zip");
    EXPECT_FALSE(closed);
    EXPECT_EQ(closed.error(), ZipError::closeFailed);
    EXPECT_FALSE(archive->add("b.txt", bytes)) << "a closed archive takes nothing";
}

}  // namespace
}  // namespace qvl::test
