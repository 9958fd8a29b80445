#include "core/xml.h"

#include <gtest/gtest.h>

#include "core/files.h"
#include "core/meta_info.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(SaveXml, AddsOrRewritesTheDeclarationAndIndentsByTwo) {
    TempDir dir;
    pugi::xml_document doc;
    doc.append_child("root").append_child("parameters").append_child("parameter").append_attribute("name") = "é";
    ASSERT_TRUE(gf_saveXmlDocument(doc, dir / "a.xml"));
    EXPECT_EQ(readFile(dir / "a.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <parameters>\n"
              "    <parameter name=\"\xC3\xA9\" />\n  </parameters>\n</root>\n");

    pugi::xml_document latin;
    ASSERT_TRUE(latin.load_string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><root a=\"\xC3\xA9\"/>"));
    ASSERT_TRUE(gf_saveXmlDocument(latin, dir / "b.xml"));
    EXPECT_EQ(readFile(dir / "b.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root a=\"\xC3\xA9\" />\n");
}

TEST(SaveXml, FailedRenameLeavesTheOldFileWhole) {
    TempDir dir;
    writeFile(dir / "keep.xml", "<old/>");
    gf_setRenameFunctionForTests([](const char*, const char*) { return -1; });
    pugi::xml_document doc;
    doc.append_child("root");
    EXPECT_FALSE(gf_saveXmlDocument(doc, dir / "keep.xml"));
    gf_setRenameFunctionForTests(nullptr);
    EXPECT_EQ(readFile(dir / "keep.xml"), "<old/>");
    // No temporary file is left behind either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(gf_saveXmlDocument(doc, dir / "missing" / "x.xml"));
}

TEST(RemoveFiles, FilesGoFoldersStay) {
    TempDir dir;
    test::LogCapture log(dir.path());
    const auto folder = dir / "work";
    std::filesystem::create_directories(folder / "sub");
    writeFile(folder / "a.txt", "");
    writeFile(folder / "b.xml", "");
    writeFile(folder / "sub" / "c.txt", "");
    gf_removeFilesFromDirectory(folder);
    gf_removeFilesFromDirectory(dir / "nowhere");
    EXPECT_TRUE(std::filesystem::exists(folder / "sub" / "c.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "a.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "b.xml"));

    const auto tblo = dir / "tblo";
    std::filesystem::create_directory(tblo);
    for (const char* n : {"EHAM.xml", "EGLL.XML", "tblo.zip", "notes.txt"}) writeFile(tblo / n, "");
    gf_removeXMLFilesFromDirectory(tblo);
    EXPECT_FALSE(std::filesystem::exists(tblo / "EHAM.xml"));
    EXPECT_FALSE(std::filesystem::exists(tblo / "EGLL.XML"));
    EXPECT_TRUE(std::filesystem::exists(tblo / "tblo.zip"));
    EXPECT_TRUE(std::filesystem::exists(tblo / "notes.txt"));
    // Nothing worth a line happened.
    const std::string text = log.text();
    EXPECT_EQ(text.find("==>"), std::string::npos) << text;
}

TEST(MetaInfo, WrittenBlockReadsBack) {
    pugi::xml_document doc;
    MetaInfo in;
    in.version = "12.2.0";
    in.sim = 2;
    in.author = "ignored";
    ASSERT_TRUE(gf_writeMetaInfo(doc, in));
    ASSERT_TRUE(doc.child("root").child("meta"));
    auto out = gf_readMetaInfo(doc, false);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(out->author, "Quorvelant");
    EXPECT_EQ(out->version, "12.2.0");
    EXPECT_EQ(out->sim, 2);
    EXPECT_EQ(out->copyright, kMetaCopyright);
    EXPECT_EQ(out->date.size(), 12u);
    // A second write appends a second block; the first one is read.
    in.version = "13.0.0";
    ASSERT_TRUE(gf_writeMetaInfo(doc, in));
    EXPECT_EQ(std::distance(doc.child("root").children("meta").begin(), doc.child("root").children("meta").end()), 2);
    EXPECT_EQ(gf_readMetaInfo(doc, false)->version, "12.2.0");
}

TEST(MetaInfo, AcceptanceRules) {
    TempDir dir;
    test::LogCapture log(dir.path());
    auto parse = [](const char* xml) {
        static pugi::xml_document doc;
        doc.reset();
        doc.load_string(xml);
        return &doc;
    };
    auto* twoVersions = parse(
        "<root><meta><info name='copyright' value='c'/><info name='version' value='1.0.0'/>"
        "<info name='version' value='2.0.0'/><info name='MSFS' value='x'/></meta></root>");
    EXPECT_EQ(gf_readMetaInfo(*twoVersions, false)->version, "1.0.0");

    auto* noCopyright = parse(
        "<root><meta><info name='author' value='a'/><info name='version' value='1'/><info name='date' value='d'/>"
        "<info name='sim' value='1'/></meta></root>");
    EXPECT_FALSE(gf_readMetaInfo(*noCopyright, true).has_value());
    EXPECT_EQ(log.text().find("no copyright"), std::string::npos);

    auto* emptyCopyright = parse("<root><meta><info name='copyright' value=''/><info name='sim' value='1'/></meta></root>");
    EXPECT_FALSE(gf_readMetaInfo(*emptyCopyright, true).has_value());
    EXPECT_NE(log.text().find("==> no copyright info in the file?"), std::string::npos);

    auto* noSim = parse("<meta><info name='copyright' value='c'/><info name='author' value='a'/></meta>");
    EXPECT_FALSE(gf_readMetaInfo(*noSim, false).has_value());
    auto lenient = gf_readMetaInfo(*noSim, true);
    ASSERT_TRUE(lenient.has_value());
    EXPECT_EQ(lenient->author, "a");
    EXPECT_EQ(lenient->version, "");
    EXPECT_EQ(lenient->sim, 0);

    EXPECT_FALSE(gf_readMetaInfo(*parse("<root/>"), true).has_value());
}

}  // namespace
}  // namespace qvl
