#include "core/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "core/meta_info.h"
#include "core/xml.h"
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

class Xml : public test::LoggedFolder {
protected:
    pugi::xml_document& parse(const char* xml) {
        doc.reset();
        doc.load_string(xml);
        return doc;
    }
    pugi::xml_document doc;
};

TEST_F(Xml, AFolderWhereAFileIsExpectedIsRefusedAsUnreadableAndAFileIsRead) {
    std::filesystem::create_directories(dir / "folder.xml");
    EXPECT_EQ(loadXmlFile(doc, dir / "folder.xml").status, pugi::status_io_error);
    EXPECT_EQ(loadXmlFile(doc, dir / "missing.xml").status, pugi::status_file_not_found);
    writeFile(dir / "one.xml", "<root><a/></root>");
    ASSERT_TRUE(loadXmlFile(doc, dir / "one.xml"));
    EXPECT_TRUE(doc.child("root").child("a"));
}

TEST_F(Xml, SaveAddsOrRewritesTheDeclarationAndIndentsByTwo) {
    doc.append_child("root").append_child("parameters").append_child("parameter").append_attribute("name") = "é";
    ASSERT_TRUE(gf_saveXmlDocument(doc, dir / "a.xml"));
    EXPECT_EQ(readFile(dir / "a.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <parameters>\n"
              "    <parameter name=\"\xC3\xA9\" />\n  </parameters>\n</root>\n");

    parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><root a=\"\xC3\xA9\"/>");
    ASSERT_TRUE(gf_saveXmlDocument(doc, dir / "b.xml"));
    EXPECT_EQ(readFile(dir / "b.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root a=\"\xC3\xA9\" />\n");
}

TEST_F(Xml, FailedSaveLeavesTheOldFileWholeAndNoTemporaryFile) {
    const auto folder = dir / "out";
    std::filesystem::create_directory(folder);
    writeFile(folder / "keep.xml", "<old/>");
    setRenameFunctionForTests([](const std::filesystem::path&, const std::filesystem::path&) { return false; });
    parse("<root/>");
    EXPECT_FALSE(gf_saveXmlDocument(doc, folder / "keep.xml"));
    setRenameFunctionForTests(nullptr);
    EXPECT_EQ(readFile(folder / "keep.xml"), "<old/>");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    EXPECT_FALSE(gf_saveXmlDocument(doc, dir / "missing" / "x.xml"));
}

TEST_F(Files, ASaveRemovesTheStaleTemporaryFilesOfItsTargetOnly) {
    const auto folder = dir / "my_simaddon";
    std::filesystem::create_directory(folder);
    const std::vector<std::string> stale = {"EHAM.xml.4242.0.qvlt.tmp", "EHAM.xml.4242.0.tmp", "EHAM.xml.1.17.tmp"};
    const std::vector<std::string> others = {"EHAM.xml.tmp",     "EHAM.xml.a.1.tmp",      "EHAM.xml.1.tmp",
                                             "EHAM.xml..1.tmp",  "EHAM.xml.1.2.tmp.x",    "XEHAM.xml.1.2.tmp",
                                             "EGLL.xml.1.2.tmp", "EGLL.xml.1.2.qvlt.tmp", "EHAM.xml"};
    for (const auto& name : stale) writeFile(folder / name, "<half");
    for (const auto& name : others) writeFile(folder / name, "<keep/>");
    std::filesystem::create_directory(folder / "EHAM.xml.5.6.tmp");  // a folder is never removed

    ASSERT_TRUE(writeFileAtomically(folder / "EHAM.xml", "<new/>"));
    EXPECT_EQ(readFile(folder / "EHAM.xml"), "<new/>");
    for (const auto& name : stale) {
        EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
        EXPECT_TRUE(logged("Removed " + (folder / name).string() + ", left by an interrupted save")) << name;
    }
    for (const auto& name : others) EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
    EXPECT_TRUE(std::filesystem::is_directory(folder / "EHAM.xml.5.6.tmp"));
}

// A second save of the same target while the first is between its write and
// its rename (another thread, or here the rename itself) must leave the
// first one's temporary file, or the first save would fail.
std::filesystem::path nestedSaveTarget;
bool renameAfterANestedSave(const std::filesystem::path& from, const std::filesystem::path& to) {
    setRenameFunctionForTests(nullptr);
    EXPECT_TRUE(writeFileAtomically(nestedSaveTarget, "<inner/>"));
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return !ec;
}

TEST_F(Files, ASaveLeavesTheTemporaryFileOfASaveStillUnderWay) {
    nestedSaveTarget = dir / "EHAM.xml";
    setRenameFunctionForTests(&renameAfterANestedSave);
    const bool saved = writeFileAtomically(nestedSaveTarget, "<outer/>");
    setRenameFunctionForTests(nullptr);
    EXPECT_TRUE(saved);
    EXPECT_EQ(readFile(nestedSaveTarget), "<outer/>");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "EHAM.xml and Log.txt";
}

TEST_F(Xml, RemoveFilesLeavesFoldersAndOtherFiles) {
    const auto folder = dir / "work";
    std::filesystem::create_directories(folder / "sub");
    for (const char* n : {"a.txt", "sub/c.txt", "EHAM.xml", "EGLL.XML", "tblo.zip"}) writeFile(folder / n, "");
    gf_removeXMLFilesFromDirectory(folder);
    EXPECT_FALSE(std::filesystem::exists(folder / "EHAM.xml") || std::filesystem::exists(folder / "EGLL.XML"));
    EXPECT_TRUE(std::filesystem::exists(folder / "tblo.zip"));
    gf_removeFilesFromDirectory(folder);
    gf_removeFilesFromDirectory(dir / "nowhere");
    EXPECT_FALSE(std::filesystem::exists(folder / "a.txt") || std::filesystem::exists(folder / "tblo.zip"));
    EXPECT_TRUE(std::filesystem::exists(folder / "sub" / "c.txt"));
    EXPECT_FALSE(logged("==>"));
}

TEST_F(Xml, MetaBlockWrittenReadsBack) {
    MetaInfo in;
    in.version = "12.2.0";
    in.sim = 2;
    in.author = "ignored";
    ASSERT_TRUE(gf_writeMetaInfo(doc, in));
    auto out = gf_readMetaInfo(doc, SimulatorRow::required);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(out->author, "Quorvelant");
    EXPECT_EQ(out->version, "12.2.0");
    EXPECT_EQ(out->sim, 2);
    in.version = "13.0.0";  // a second block is appended; the first one is read
    ASSERT_TRUE(gf_writeMetaInfo(doc, in));
    EXPECT_EQ(std::distance(doc.child("root").children("meta").begin(), doc.child("root").children("meta").end()), 2);
    EXPECT_EQ(gf_readMetaInfo(doc, SimulatorRow::required)->version, "12.2.0");
}

TEST_F(Xml, MetaBlockAcceptanceRules) {
    parse(
        "<root><meta><info name='copyright' value='c'/><info name='version' value='1.0.0'/>"
        "<info name='version' value='2.0.0'/><info name='MSFS' value='x'/></meta></root>");
    EXPECT_EQ(gf_readMetaInfo(doc, SimulatorRow::required)->version, "1.0.0");

    parse(
        "<root><meta><info name='author' value='a'/><info name='version' value='1'/><info name='date' value='d'/>"
        "<info name='sim' value='1'/></meta></root>");
    EXPECT_FALSE(gf_readMetaInfo(doc, SimulatorRow::optional).has_value());
    EXPECT_FALSE(logged("no copyright"));

    parse("<root><meta><info name='copyright' value=''/><info name='sim' value='1'/></meta></root>");
    EXPECT_FALSE(gf_readMetaInfo(doc, SimulatorRow::optional).has_value());
    EXPECT_TRUE(logged("==> no copyright info in the file?"));

    parse("<meta><info name='copyright' value='c'/><info name='author' value='a'/></meta>");
    EXPECT_FALSE(gf_readMetaInfo(doc, SimulatorRow::required).has_value());
    const auto lenient = gf_readMetaInfo(doc, SimulatorRow::optional);
    ASSERT_TRUE(lenient.has_value());
    EXPECT_EQ(lenient->author, "a");
    EXPECT_EQ(lenient->sim, 0);

    EXPECT_FALSE(gf_readMetaInfo(parse("<root/>"), SimulatorRow::optional).has_value());
}

}  // namespace
}  // namespace qvl
