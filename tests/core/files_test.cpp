#include "core/files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(Generations, NamesChangeOnlyTheFileName) {
    EXPECT_EQ(*gf_generationName("Log.txt", 1), "Log0.txt");
    EXPECT_EQ(*gf_generationName("Log.txt", 3), "Log000.txt");
    EXPECT_EQ(*gf_generationName("a.b/EHAM.learned.xml", 1), "a.b/EHAM.learned0.xml");
    // A dot in a folder name is never the one that gets the infix.
    EXPECT_FALSE(gf_generationName("data.old/Log", 1).has_value());
}

TEST(Generations, CopyStepsAndMissingFiles) {
    TempDir dir;
    const auto file = dir / "EHAM.xml";
    EXPECT_EQ(gf_saveUpto3GenerationsOf(file), 1);  // nothing exists: nothing copied
    EXPECT_FALSE(std::filesystem::exists(dir / "EHAM0.xml"));

    for (const char* content : {"one", "two", "three", "four"}) {
        writeFile(file, content);
        gf_saveUpto3GenerationsOf(file);
    }
    EXPECT_EQ(readFile(dir / "EHAM0.xml"), "four");
    EXPECT_EQ(readFile(dir / "EHAM00.xml"), "three");
    EXPECT_EQ(readFile(dir / "EHAM000.xml"), "two");

    writeFile(file, "five");
    EXPECT_EQ(gf_save1GenerationOf(file), 1);
    EXPECT_EQ(readFile(dir / "EHAM0.xml"), "five");
}

TEST(Generations, NoDotIsLoggedAndNothingCopied) {
    TempDir dir;
    test::LogCapture log(dir.path());
    const auto file = dir / "noext";
    writeFile(file, "x");
    EXPECT_EQ(gf_save1GenerationOf(file), 0);
    EXPECT_EQ(gf_saveUpto3GenerationsOf(file), 0);
    const std::string text = log.text();
    EXPECT_NE(text.find("==> gf_save1GenerationOf: no dot in filename: " + file.string()), std::string::npos);
    EXPECT_NE(text.find("==> gf_saveUpto3GenerationsOf: no dot in filename: " + file.string()), std::string::npos);
}

TEST(Generations, FailedCopyIsLogged) {
    TempDir dir;
    test::LogCapture log(dir.path());
    const auto file = dir / "a.txt";
    writeFile(file, "x");
    std::filesystem::create_directory(dir / "a0.txt");  // a folder where the copy should go
    EXPECT_EQ(gf_save1GenerationOf(file), 1);
    EXPECT_NE(log.text().find("==> copy " + file.string() + " -> "), std::string::npos);
}

TEST(ListXmlFiles, CodesFromFileNames) {
    TempDir dir;
    test::LogCapture log(dir.path());
    const auto folder = dir / "airports";
    std::filesystem::create_directory(folder);
    for (const char* name : {"EHAM.xml", "ehaM.XML", "KJFK.xml.bak", "AB.xml", "EG-L.xml", "LFPG.txt"}) {
        writeFile(folder / name, "<root/>");
    }
    std::filesystem::create_directory(folder / "EDDF.xml");  // a folder, not a file
    auto codes = gf_listXmlFiles(folder);
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[0], FixedCode("EHAM"));
    EXPECT_EQ(codes[1], FixedCode("EHAM"));
    EXPECT_NE(log.text().find("EG-L.xml"), std::string::npos);

    EXPECT_TRUE(gf_listXmlFiles(dir / "nowhere").empty());
}

TEST(CountFiles, RegularFilesOnly) {
    TempDir dir;
    EXPECT_EQ(gf_countFilesInFolder(dir / "nowhere"), 0u);
    writeFile(dir / "a", "");
    writeFile(dir / "b.xml", "");
    std::filesystem::create_directory(dir / "sub");
    writeFile(dir / "sub" / "c", "");
    EXPECT_EQ(gf_countFilesInFolder(dir.path()), 2u);
}

}  // namespace
}  // namespace qvl
