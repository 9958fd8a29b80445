#include "core/files.h"

#include <gtest/gtest.h>

#include "support/logged_folder.h"

namespace qvl {
namespace {

using test::readFile;
using test::writeFile;

using Files = test::LoggedFolder;

TEST_F(Files, GenerationNamesUseOnlyTheFileNamesLastDot) {
    EXPECT_EQ(*generationName("a.b/EHAM.learned.xml", 3), "a.b/EHAM.learned000.xml");
    EXPECT_FALSE(generationName("data.old/Log", 1).has_value());
    const auto noDot = dir / "noext";
    writeFile(noDot, "x");
    EXPECT_EQ(gf_save1GenerationOf(noDot), 0);
    EXPECT_EQ(gf_saveUpto3GenerationsOf(noDot), 0);
    EXPECT_TRUE(logged("==> gf_save1GenerationOf: no dot in filename: " + noDot.string()));
    EXPECT_TRUE(logged("==> gf_saveUpto3GenerationsOf: no dot in filename: " + noDot.string()));
}

TEST_F(Files, MissingFileCopiesNothingAndAFailedCopyIsLogged) {
    const auto file = dir / "a.txt";
    EXPECT_EQ(gf_saveUpto3GenerationsOf(file), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "a0.txt"));
    writeFile(file, "new");
    std::filesystem::create_directory(dir / "a00.txt");  // a folder where a copy should go
    EXPECT_EQ(gf_saveUpto3GenerationsOf(file), 1);
    EXPECT_EQ(readFile(dir / "a0.txt"), "new");
    EXPECT_TRUE(logged("==> copy " + (dir / "a00.txt").string() + " -> "));
}

TEST_F(Files, ListXmlFilesSkipsBadStemsWithALine) {
    const auto folder = dir / "airports";
    std::filesystem::create_directory(folder);
    for (const char* name : {"EHAM.xml", "ehaM.XML", "KJFK.xml.bak", "AB.xml", "EG-L.xml", "LFPG.txt"}) {
        writeFile(folder / name, "<root/>");
    }
    std::filesystem::create_directory(folder / "EDDF.xml");
    EXPECT_EQ(gf_listXmlFiles(folder), (std::vector<FixedCode4>{FixedCode4("EHAM"), FixedCode4("EHAM")}));
    EXPECT_TRUE(logged("==> skipped " + (folder / "EG-L.xml").string() + ": "));
    EXPECT_TRUE(gf_listXmlFiles(dir / "nowhere").empty());
    EXPECT_EQ(gf_countFilesInFolder(folder), 6u);  // regular files only
}

}  // namespace
}  // namespace qvl
