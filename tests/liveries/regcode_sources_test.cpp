#include "liveries/regcode_sources.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/files.h"
#include "core/messages.h"
#include "core/text_file.h"
#include "liveries/scan_problem_files.h"
#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// The shipped file's XML around the given <l> rows.
std::string aigXml(const std::string& rows) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<root><meta><info name="author" value="Quorvelant"/><info name="version" value="1"/>
<info name="copyright" value="CC0"/><info name="sim" value="2020"/></meta>
<aig>)" + rows +
           "</aig></root>\n";
}

std::vector<std::string> fileLines(const fs::path& file) {
    const ReadLinesResult read = gf_readLines(file, 16);
    return read.lines;
}

class RegcodeSourcesTest : public test::LiveriesFolder {
protected:
    void SetUp() override {
        LiveriesFolder::SetUp();
        resetMessages();
    }
    void TearDown() override {
        resetMessages();
        LiveriesFolder::TearDown();
    }

    // Lufthansa A320s in three paints, a KLM 737 and a CityLine A320 that
    // carries its own registration D-AIZA.
    void buildCatalogue(LiveryList extra = {}) {
        LiveryList list{livery("DLH", "A320", "Lufthansa A320"), livery("DLH", "A320", "Lufthansa A320 Fanhansa"),
                        livery("DLH", "A320", "Lufthansa A320 Retro"), livery("KLM", "B738", "KLM 737"),
                        livery("DLH", "A320", "CityLine A320", 0, {}, "D-AIZA")};
        for (LiveryData& l : extra) list.push_back(std::move(l));
        sortLiveries(list);
        tables_.liveries = std::move(list);
        lf_buildAirlineModelMap(tables_.liveries, tables_);
        lf_buildCatalogue(tables_);
    }
    void shipped(const std::string& rows) { ASSERT_NO_FATAL_FAILURE(writeEncrypted("AIG-regcodes.enc", aigXml(rows))); }
    static void userFile(const std::string& name, const std::string& text) {
        fs::create_directories(kMyRegcodesFolder);
        test::writeFile(kMyRegcodesFolder / name, text);
    }
    std::string mapped(const std::string& registration) const {
        const auto found = tables_.regcodes.find(registration);
        return found == tables_.regcodes.end() ? std::string("<none>") : std::string(found->second);
    }
    std::vector<std::string> reserved() const { return {tables_.reservedTitles.begin(), tables_.reservedTitles.end()}; }
};

TEST_F(RegcodeSourcesTest, TheUsersFileBeatsTheShippedFileWhichBeatsTheLiveriesOwnRegistration) {
    buildCatalogue();
    shipped(R"(<l t="Lufthansa A320" r="D-AIZA,D-AIZB"/>)");
    userFile("mine.txt", "Lufthansa A320 Retro;D-AIZA,D-AIZC\n");
    lf_processInlineRegcodes(tables_);
    ASSERT_EQ(mapped("D-AIZA"), "CityLine A320");
    EXPECT_FALSE(fs::exists(kInlineRegcodesTxt)) << "no clashes, no file";
    lf_processOfflineRegcodes(tables_);

    EXPECT_EQ(mapped("D-AIZA"), "Lufthansa A320 Retro");
    EXPECT_EQ(mapped("D-AIZB"), "Lufthansa A320");
    EXPECT_EQ(mapped("D-AIZC"), "Lufthansa A320 Retro");
    EXPECT_EQ(tables_.regcodes.at("D-AIZA").data(), lf_findLiveryTitle(tables_, "Lufthansa A320 Retro").data())
        << "the map holds views of the catalogue's titles";
    const std::string xml = (fs::path("input") / "AIG-regcodes.xml").string();
    const std::string folder = kMyRegcodesFolder.string();
    EXPECT_EQ(fileLines(kOfflineRegcodesTxt),
              (std::vector<std::string>{
                  "Processing file " + xml,
                  "   regcode D-AIZA for 'Lufthansa A320', instead of the same for 'CityLine A320'",
                  "1 new regcode added, 1 regcode replaced",
                  "Processing files in " + folder,
                  "   regcode D-AIZA for 'Lufthansa A320 Retro', instead of the same for 'Lufthansa A320'",
                  "1 new regcode added, 1 regcode replaced",
              }));
    EXPECT_TRUE(logHas("Offline regcode files processed, results can be found in 'output/info/OfflineRegcodes.txt'"));
    EXPECT_FALSE(fs::exists(kAigRegcodesXml)) << "the decrypted file is removed after reading";
    EXPECT_TRUE(tables_.regcodeResults.empty());
}

TEST_F(RegcodeSourcesTest, ARegistrationGivenAgainForTheSameTitleIsNeitherCountedNorReported) {
    buildCatalogue();
    shipped(R"(<l t="Lufthansa A320" r="D-AIZB"/><l t="Not installed" r="D-AIZX"/>)");
    userFile("a.TXT", "Lufthansa A320;D-AIZB,D-AIZE\nNot installed either;D-AIZY\n");
    lf_processOfflineRegcodes(tables_);
    const auto lines = fileLines(kOfflineRegcodesTxt);
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[1], "1 new regcode added");
    EXPECT_EQ(lines[3], "1 new regcode added") << "D-AIZE only";
    EXPECT_EQ(mapped("D-AIZX"), "<none>") << "a title no livery carries is skipped";
    EXPECT_EQ(mapped("D-AIZY"), "<none>");
}

TEST_F(RegcodeSourcesTest, SpecialEntriesReserveTheirTitleAndOnlyASingleRegistrationIsUnique) {
    buildCatalogue();
    shipped(R"(<l t="Lufthansa A320 Fanhansa" r="D-AIZG" s="true"/><l t="Lufthansa A320" r="D-AIZA" s="false"/>)");
    userFile("special.txt",
             "Lufthansa A320 Retro;D-AIZR\n"
             "KLM 737;PH-BXA,PH-BXB;#\n"
             "Lufthansa A320;D-AIZK,D-AIZL\n");
    lf_processOfflineRegcodes(tables_);
    EXPECT_EQ(tables_.specialRegcodes, (SpecialRegcodeSet{"D-AIZG", "D-AIZR"}));
    EXPECT_EQ(reserved(), (std::vector<std::string>{"Lufthansa A320 Fanhansa", "Lufthansa A320 Retro", "KLM 737"}));
    EXPECT_EQ(mapped("PH-BXB"), "KLM 737");
    const auto lines = fileLines(kOfflineRegcodesTxt);
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[1], "2 new regcodes added, 1 regcode defined as special");
    EXPECT_EQ(lines[3], "5 new regcodes added, 2 regcodes defined as special");
    EXPECT_TRUE(logHas("    3 special liveries"));
    EXPECT_TRUE(logHas("    2 unique liveries"));
}

// Line -> entry of a user's file; "-" for no entry, "!" for a don't-use title.
struct LineCase {
    const char* line;
    const char* title;
    std::vector<std::string> registrations;
    bool special;
    std::vector<std::string> wrongLength;
};

TEST(RegcodeLineTest, UserLinesFollowTheirFieldRules) {
    const std::vector<LineCase> cases{
        {"Retro A320;D-AIZR", "Retro A320", {"D-AIZR"}, true, {}},
        {"  Retro A320 ; D-AIZR ; ignored ", "Retro A320", {"D-AIZR"}, true, {}},
        {"Fleet A320;D-AIZA, D-AIZB", "Fleet A320", {"D-AIZA", "D-AIZB"}, false, {}},
        {"Fleet A320;D-AIZA,D-AIZB;#", "Fleet A320", {"D-AIZA", "D-AIZB"}, true, {}},
        {"Fleet A320;D-AIZA,D-AIZB;x", "Fleet A320", {"D-AIZA", "D-AIZB"}, false, {}},
        {"Banned A320;", "Banned A320", {}, false, {}},
        {"Banned A320", "Banned A320", {}, false, {}},
        {"# not a comment", "# not a comment", {}, false, {}},
        {"Fleet A320;D-AIZA,X1,ABCDEFGHIJKLM", "Fleet A320", {"D-AIZA"}, false, {"X1", "ABCDEFGHIJKLM"}},
        {"All wrong A320;X1,ABCDEFGHIJKLM", "All wrong A320", {}, false, {"X1", "ABCDEFGHIJKLM"}},
        {"Shortest;ABC,ABCDEFGHIJKL", "Shortest", {"ABC", "ABCDEFGHIJKL"}, false, {}},
    };
    for (const LineCase& c : cases) {
        const RegcodeLine parsed = parseRegcodeLine(c.line);
        ASSERT_TRUE(parsed.entry.has_value()) << c.line;
        EXPECT_EQ(parsed.entry->title, c.title) << c.line;
        EXPECT_EQ(parsed.entry->registrations, c.registrations) << c.line;
        EXPECT_EQ(parsed.entry->special, c.special) << c.line;
        EXPECT_EQ(parsed.wrongLength, c.wrongLength) << c.line;
    }
    for (const char* line :
         {"Short", "Title A;X1", "Title A;ABCDEFGHIJKLM", "Title A;D-AIZA;#;more", "      ", " ; ; ; "}) {
        EXPECT_FALSE(parseRegcodeLine(line).entry.has_value()) << line;
    }
    EXPECT_EQ(parseRegcodeLine("Title A;X1").wrongLength, std::vector<std::string>{"X1"});
}

TEST_F(RegcodeSourcesTest, WrongRegistrationLengthsAreLoggedAndShownButTheRestIsMerged) {
    buildCatalogue();
    shipped(R"(<l t="Lufthansa A320" r="D-AIZB"/>)");
    userFile("bad.txt", "Lufthansa A320 Retro;X1\nKLM 737;PH-BXA,PH-BXB\n");
    userFile("notes.md", "KLM 737;PH-BXC\n");
    lf_processOfflineRegcodes(tables_);
    const std::string badFile = (kMyRegcodesFolder / "bad.txt").string();
    EXPECT_TRUE(logHas(fmt::format("==> wrong regcode length 'X1' in {}", badFile)));
    EXPECT_TRUE(logHas(fmt::format("    1 livery read from {}", badFile)));
    EXPECT_EQ(messageLines().message,
              fmt::format("There were errors processing the regcode files in folder '{}', see Log.txt",
                          kMyRegcodesFolder.string()));
    EXPECT_EQ(mapped("PH-BXB"), "KLM 737");
    EXPECT_EQ(mapped("PH-BXC"), "<none>") << "only .TXT files are read";
}

TEST_F(RegcodeSourcesTest, RepeatedTitlesOfTheShippedFileAreDroppedAndReportedTheOthersMerged) {
    buildCatalogue();
    shipped(R"(<l t="Lufthansa A320" r="D-AIZA"/><l t="Lufthansa A320" r="D-AIZB"/><l t="KLM 737" r="PH-BXA"/>)"
            R"(<l r="PH-BXZ"/><x t="KLM 737" r="PH-BXY"/><l t="Lufthansa A320" r="D-AIZC"/>)");
    lf_processOfflineRegcodes(tables_);
    EXPECT_TRUE(logHas("==> Duplicate title 'Lufthansa A320' (same as previous)"));
    EXPECT_TRUE(logHas("    3 liveries read from"));
    EXPECT_EQ(mapped("D-AIZA"), "Lufthansa A320");
    EXPECT_EQ(mapped("D-AIZB"), "<none>");
    EXPECT_EQ(mapped("PH-BXA"), "KLM 737");
    EXPECT_EQ(mapped("PH-BXY"), "<none>") << "only <l> elements are entries";
    EXPECT_EQ(mapped("D-AIZC"), "Lufthansa A320") << "not the same as the previous accepted title";
    const auto lines = fileLines(kOfflineRegcodesTxt);
    ASSERT_GE(lines.size(), 2U);
    EXPECT_EQ(lines[1], fmt::format("There were errors processing the AIG-regcode file '{}', see Log.txt",
                                    kAigRegcodesXml.string()));
}

TEST_F(RegcodeSourcesTest, WithoutTheShippedFileTheUsersFolderIsNotReadAndTheResultsStay) {
    buildCatalogue();
    userFile("mine.txt", "KLM 737;PH-BXA,PH-BXB\n");
    fs::create_directories(kInfoFolder);
    test::writeFile(kOfflineRegcodesTxt, "previous results\n");
    lf_processOfflineRegcodes(tables_);
    EXPECT_EQ(mapped("PH-BXA"), "<none>");
    EXPECT_EQ(test::readFile(kOfflineRegcodesTxt), "previous results\n");

    test::writeFile("input/AIG-regcodes.enc", "not an encrypted file at all, just text");
    lf_processOfflineRegcodes(tables_);
    EXPECT_EQ(mapped("PH-BXA"), "<none>");
    EXPECT_EQ(test::readFile(kOfflineRegcodesTxt), "previous results\n");
    EXPECT_FALSE(fs::exists(kAigRegcodesXml));
}

TEST_F(RegcodeSourcesTest, ADamagedShippedFileStillLetsTheUsersFolderIn) {
    buildCatalogue();
    ASSERT_NO_FATAL_FAILURE(writeEncrypted("AIG-regcodes.enc", "<root><aig><l t=\"unclosed\""));
    userFile("mine.txt", "KLM 737;PH-BXA,PH-BXB\n");
    lf_processOfflineRegcodes(tables_);
    EXPECT_TRUE(logHas("==> Failed to load input/AIG-regcodes.xml"));
    EXPECT_FALSE(fs::exists(kAigRegcodesXml));
    EXPECT_EQ(mapped("PH-BXA"), "KLM 737");
}

TEST_F(RegcodeSourcesTest, LinesTheScanAddedAreWrittenFirstAndThenEmptied) {
    buildCatalogue();
    shipped(R"(<l t="KLM 737" r="PH-BXA"/>)");
    tables_.regcodeResults.push_back("There were errors in processing the file 'x', see the Log.txt");
    lf_processOfflineRegcodes(tables_);
    const auto lines = fileLines(kOfflineRegcodesTxt);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0], "There were errors in processing the file 'x', see the Log.txt");
    EXPECT_EQ(lines[1].rfind("Processing file ", 0), 0U);
    EXPECT_TRUE(tables_.regcodeResults.empty());
}

TEST_F(RegcodeSourcesTest, ResultsThatCannotBeWrittenWholeLeaveThePreviousFile) {
    buildCatalogue();
    shipped(R"(<l t="KLM 737" r="PH-BXA"/>)");
    fs::create_directories(kInfoFolder);
    test::writeFile(kOfflineRegcodesTxt, "previous results\n");
    setRenameFunctionForTests([](const fs::path&, const fs::path&) { return false; });
    lf_processOfflineRegcodes(tables_);
    setRenameFunctionForTests(nullptr);
    EXPECT_EQ(test::readFile(kOfflineRegcodesTxt), "previous results\n");
    EXPECT_TRUE(logHas("==> could not write output/info/OfflineRegcodes.txt"));

    lf_processOfflineRegcodes(tables_);
    EXPECT_EQ(fileLines(kOfflineRegcodesTxt).at(0).rfind("Processing file ", 0), 0U);
}

TEST_F(RegcodeSourcesTest, AFolderThatCannotBeWalkedStillLeavesTheResultsSoFar) {
    buildCatalogue();
    shipped(R"(<l t="KLM 737" r="PH-BXA"/>)");
    test::writeFile(kMyRegcodesFolder, "a file where the folder should be");
    tables_.regcodeResults.push_back("a line of the scan");
    lf_processOfflineRegcodes(tables_);
    EXPECT_TRUE(logHas("==> exception: "));
    EXPECT_EQ(mapped("PH-BXA"), "KLM 737");
    const auto lines = fileLines(kOfflineRegcodesTxt);
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0], "a line of the scan");
    EXPECT_EQ(lines[2], "1 new regcode added");
    EXPECT_EQ(lines[3], "Processing files in " + kMyRegcodesFolder.string());
}

TEST_F(RegcodeSourcesTest, TheFirstLiveryKeepsItsOwnRegistrationAndClashesAreListed) {
    buildCatalogue({livery("DLH", "A320", "Lufthansa A320 Sticker", 0, {}, "D-AIZA"),
                    livery("KLM", "B738", "KLM 737 Orange", 0, {}, "PH-BXO")});
    lf_processInlineRegcodes(tables_);
    EXPECT_EQ(mapped("D-AIZA"), "CityLine A320") << "first in livery order";
    EXPECT_EQ(mapped("PH-BXO"), "KLM 737 Orange");
    EXPECT_EQ(tables_.inlineRegcodes.at("Lufthansa A320 Sticker"), "D-AIZA");
    EXPECT_EQ(tables_.inlineRegcodes.size(), 3U);
    EXPECT_EQ(fileLines(kInlineRegcodesTxt),
              std::vector<std::string>{"D-AIZA 'Lufthansa A320 Sticker' => already in use by 'CityLine A320'"});
    EXPECT_TRUE(logHas("    1 in-line regcode clashes, see 'output/errors/InlineRegcodes.txt'"));
}

TEST_F(RegcodeSourcesTest, DontUseTitlesComeFromEntriesWithoutRegistrations) {
    test::writeFile(kAigRegcodesXml,
                    aigXml(R"(<l t="Banned one"/><l t="Banned two" r=" , "/><l t="Fine" r="D-AIZA"/>)"));
    fs::create_directories(kMyRegcodesFolder);
    test::writeFile(kMyRegcodesFolder / "mine.txt", "Banned three\nBanned four;\nAll wrong;X1,Y2\nOk;D-AIZA\n");
    DontUseTitleList dontUse;
    std::vector<std::string> results;
    lf_readDontUseTitlesXml(dontUse, results);
    lf_readDontUseTitlesFolder(dontUse, results);
    for (const char* title : {"Banned one", "Banned two", "Banned three", "Banned four", "All wrong"}) {
        EXPECT_TRUE(dontUse.contains(title)) << title;
    }
    EXPECT_FALSE(dontUse.contains("Fine"));
    EXPECT_FALSE(dontUse.contains("Ok"));
    EXPECT_TRUE(logHas("    2 don't use titles read\n"));
    EXPECT_TRUE(logHas(fmt::format("    3 don't use titles read from files in {}", kMyRegcodesFolder.string())));
    EXPECT_EQ(results, std::vector<std::string>{fmt::format(
                           "There were errors in processing the regcode files in folder '{}', see the Log.txt",
                           kMyRegcodesFolder.string())});
}

TEST_F(RegcodeSourcesTest, AShippedFileWithoutItsListOrMetaBlockGivesNothing) {
    RegcodeEntries entries;
    test::writeFile(kAigRegcodesXml, "<root><meta><info name=\"copyright\" value=\"x\"/></meta></root>");
    EXPECT_FALSE(lf_readAigRegcodesXml(entries));
    EXPECT_TRUE(logHas("==> No <aig> node found in XML."));
    test::writeFile(kAigRegcodesXml, "<root><aig><l t=\"A title\" r=\"D-AIZA\"/></aig></root>");
    EXPECT_FALSE(lf_readAigRegcodesXml(entries));
    EXPECT_TRUE(entries.empty());
}

TEST_F(RegcodeSourcesTest, AUsersFileSavedAsUtf16IsReadLikeAnyOther) {
    buildCatalogue();
    shipped("");
    const std::u16string text = u"\uFEFFKLM 737;PH-BXA,PH-BXB\r\n";
    std::string bytes;
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    userFile("unicode.txt", bytes);
    lf_processOfflineRegcodes(tables_);
    EXPECT_EQ(mapped("PH-BXA"), "KLM 737");
}

}  // namespace
}  // namespace qvl
