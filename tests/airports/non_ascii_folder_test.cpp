// The program's folder and the user's own folder under names with letters
// beyond ASCII, as a user named Zoë running the program from a folder
// "Zürich" has them: every file the program writes and reads there keeps its
// name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "airports/apf_file.h"
#include "airports/closest_stand.h"
#include "airports/support/airports_fixture.h"
#include "core/files.h"
#include "core/parameters.h"
#include "core/settings.h"
#include "core/text_file.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

class NonAsciiFolder : public test::AirportsFolder {
protected:
    void SetUp() override {
        AirportsFolder::SetUp();
        program = folder / fs::path(u8"Zürich");
        for (const auto& sub : {kInputFolder, kMyThirdpartyFolder, kMySimaddonFolder, kLearnedFolder}) {
            fs::create_directories(program / sub);
        }
        fs::current_path(program);
        setenv("QVL_ROAMING_DIR", (program / fs::path(u8"Zoë")).c_str(), 1);
        fs::create_directories(productFolder());
    }

    // Nothing but the files themselves: no temporary file of a save is left.
    static std::vector<fs::path> filesIn(const fs::path& at) {
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(at)) names.push_back(entry.path().filename());
        return names;
    }

    fs::path program;
};

TEST_F(NonAsciiFolder, SettingsAreSavedAndReadBack) {
    gf_saveAllParameters(StoredValues::defaults);
    gf_setStringParameter(MSFS_INSTALL_PATH, "D:\\Spiele\\Zürich");
    MSFS_INSTALL_PATH.set("");
    EXPECT_FALSE(gf_readParameters()) << "the saved file was found";
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), "D:\\Spiele\\Zürich");
    EXPECT_EQ(filesIn(productFolder()), std::vector<fs::path>{"parameters.xml"});
    EXPECT_NE(gf_pathToUtf8(parametersFile()).find("Zürich/Zoë/"), std::string::npos);
}

TEST_F(NonAsciiFolder, AFileWithAnAccentedNameIsSavedWholeUnderItsName) {
    const fs::path target = program / fs::path(u8"Zoë.xml");
    ASSERT_TRUE(writeFileAtomically(target, "<root/>"));
    ASSERT_TRUE(writeFileAtomically(target, "<root>2</root>"));
    EXPECT_EQ(readFile(target), "<root>2</root>");
    EXPECT_EQ(gf_save1GenerationOf(target), 1);
    EXPECT_EQ(readFile(program / fs::path(u8"Zoë0.xml")), "<root>2</root>");
}

TEST_F(NonAsciiFolder, AStandFileIsSavedAndReadBack) {
    airports(R"(<ap c="LSZH" la="0" lo="0.05" a="0" s="0"/>)");
    ApfRecord record{.icao = FixedCode4("LSZH"), .filled = true, .airportName = "Zürich"};
    record.stands.push_back(Stand("E1", {}, {.latitude = 0.0, .longitude = 0.02, .heading = 0.0}, 25.0, {.type = 3}));
    ASSERT_TRUE(gf_saveApf(record, kMyThirdpartyFolder / "LSZH.xml", {.mode = ApfMode::generated}));
    EXPECT_EQ(filesIn(program / kMyThirdpartyFolder), std::vector<fs::path>{"LSZH.xml"});

    std::string standId;
    EXPECT_NEAR(
        gf_readDestApfForClosestStand(FixedCode4("LSZH"), {.latitude = 0.0, .longitude = 0.0}, standId, DownloadStop{}),
        1.2, 1e-9);
    EXPECT_EQ(standId, "E1");
}

TEST_F(NonAsciiFolder, ADataFileIsDecryptedThere) {
    const fs::path plain = program / fs::path(u8"Flughäfen.xml");
    const fs::path encrypted = program / kInputFolder / fs::path(u8"Flughäfen.enc");
    const fs::path decrypted = program / kInputFolder / fs::path(u8"Flughäfen.xml");
    writeFile(plain, "<root>Zürich</root>");
    ASSERT_TRUE(streamEncrypt(plain, encrypted));
    ASSERT_TRUE(gf_streamDecrypt(encrypted, decrypted));
    EXPECT_EQ(readFile(decrypted), "<root>Zürich</root>");
    // The reference tables read from the program's own input folder there.
    airports(R"(<ap c="LSZH" la="47.46" lo="8.55" a="1416" s="3"/>)");
    ASSERT_NE(listedAirport(FixedCode4("LSZH")), nullptr);
    EXPECT_EQ(listedAirport(FixedCode4("LSZH"))->standCount, 3);
}

}  // namespace
}  // namespace qvl
