#include "liveries/aircraft_cfg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/text_file.h"
#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// A320 liveries of Lufthansa and British Airways, as a package's file holds
// them.
constexpr const char* kTwoLiveries =
    "[General]\n"
    "icao_type_designator=A320\n"
    "[fltsim.0]\n"
    "title=Airbus A320 Lufthansa\n"
    "icao_airline=DLH\n"
    "[fltsim.1]\n"
    "title=Airbus A320 British Airways\n"
    "icao_airline=BAW\n";

class AircraftCfg : public test::LiveriesFolder {
protected:
    void SetUp() override {
        LiveriesFolder::SetUp();
        ASSERT_NO_FATAL_FAILURE(readDbase(test::liveriesDbaseXml({{"fixes", R"(<fx wro="B73H" cor="B738"/>)"}})));
    }

    // `bytes` as <folder>/aircraft.cfg under the test's folder.
    fs::path writeCfg(const fs::path& folder, const std::string& bytes) const {
        fs::path cfg = folder_ / folder / "aircraft.cfg";
        fs::create_directories(cfg.parent_path());
        test::writeFile(cfg, bytes);
        return cfg;
    }

    std::vector<LiveryData> search(const fs::path& cfg, std::int16_t folderIndex = 1) {
        return merged(lf_searchLiveriesinFile(taskInput(cfg, folderIndex)));
    }

    static std::vector<std::string> titles(const std::vector<LiveryData>& liveries) {
        std::vector<std::string> out;
        out.reserve(liveries.size());
        for (const LiveryData& livery : liveries) out.push_back(livery.title);
        return out;
    }
    static std::string text(const fs::path& path) { return gf_pathToUtf8(path); }
};

TEST_F(AircraftCfg, EveryFltsimSectionBecomesALiveryOfTheFilesModel) {
    const fs::path cfg =
        writeCfg("pkg/A320", std::string(kTwoLiveries) + "[FLTSIM.2]\ntitle=Airbus A320 KLM\n" + "icao_airline=KLM\n");
    const auto liveries = search(cfg, 7);
    EXPECT_EQ(titles(liveries),
              (std::vector<std::string>{"Airbus A320 Lufthansa", "Airbus A320 British Airways", "Airbus A320 KLM"}));
    for (const LiveryData& livery : liveries) {
        EXPECT_EQ(livery.key.modelId, modelId("A320")) << livery.title;
        EXPECT_EQ(livery.folderIndex, 7) << livery.title;
    }
    EXPECT_EQ(liveries[1].key.airlineId, airlineId("BAW"));

    // Problems of a section name the aircraft folder; the second file's
    // titles are taken already.
    const auto again = search(writeCfg("other/A320", kTwoLiveries));
    EXPECT_TRUE(again.empty());
    EXPECT_EQ(scan_.incompleteSections.lines().front(),
              text(folder_ / "other/A320") + " [fltsim.0] title 'Airbus A320 Lufthansa' already exists");
}

TEST_F(AircraftCfg, HeaderLinesGiveTheirNumberOrTheMalformedMark) {
    EXPECT_EQ(lf_matchFltsimHeader("[fltsim.0]"), "0");
    EXPECT_EQ(lf_matchFltsimHeader("  [FLTSIM.12] \r"), "12");
    EXPECT_EQ(lf_matchFltsimHeader("[FltSim.3]"), "3") << "the pattern ignores case";
    EXPECT_EQ(lf_matchFltsimHeader("[fltsim.5] // old paint"), "10000");
    EXPECT_EQ(lf_matchFltsimHeader("[fltsim.5"), "10000");
    EXPECT_EQ(lf_matchFltsimHeader("[fltsim.]"), "10000");
    EXPECT_EQ(lf_matchFltsimHeader(";[fltsim.5]"), "10000");
    EXPECT_EQ(lf_matchFltsimHeader("[fltsim.x]"), "10000");
    EXPECT_EQ(lf_matchFltsimHeader("[FLTSIM.x]"), "10000") << "the upper-case spelling is malformed alike";
    EXPECT_EQ(lf_matchFltsimHeader("[FLTSIM.5] x"), "10000");
    EXPECT_EQ(lf_matchFltsimHeader("[FltSim.5] x"), "") << "the plain search knows two spellings only";
    EXPECT_EQ(lf_matchFltsimHeader("//[fltsim.5]"), "");
    EXPECT_EQ(lf_matchFltsimHeader("[General]"), "");
    EXPECT_EQ(lf_matchFltsimHeader("/"), "");
}

TEST_F(AircraftCfg, MalformedAndSemicolonHeadersOpenSectionsAndSlashOnesCloseThem) {
    const fs::path cfg = writeCfg("pkg/A320",
                                  "icao_type_designator=A320\n"
                                  "  [fltsim.4]\ntitle=Indented\nicao_airline=DLH\n"
                                  "[fltsim.5] ; comment\ntitle=Malformed\nicao_airline=BAW\n"
                                  ";[fltsim.6]\ntitle=Commented\nicao_airline=KLM\n"
                                  "//[fltsim.7]\ntitle=Slashed\nicao_airline=EZY\n");
    EXPECT_EQ(titles(search(cfg)), (std::vector<std::string>{"Indented", "Malformed", "Commented"}));
}

TEST_F(AircraftCfg, SectionNumbersAboveTheLimitOrBeyond32BitsMakeTheFileUnusable) {
    const std::string general = "[General]\nicao_type_designator=A320\n";
    const fs::path limit = writeCfg("limit", general + "[fltsim.10000]\ntitle=At the limit\nicao_airline=DLH\n");
    EXPECT_EQ(titles(search(limit)), std::vector<std::string>{"At the limit"});

    const fs::path above = writeCfg("above", general + "[fltsim.0]\ntitle=Fine\nicao_airline=DLH\n[fltsim.10001]\n");
    EXPECT_TRUE(search(above).empty());
    EXPECT_EQ(scan_.invalidCfgFiles.lines(),
              std::vector<std::string>{text(above) + " contains a [fltsim.x] section with a number < 0 or > 10000"});

    const fs::path huge = writeCfg(
        "huge", general + "[fltsim.0]\ntitle=Also fine\nicao_airline=DLH\n" + "[fltsim.12345678901]\n[fltsim.10001]\n");
    EXPECT_TRUE(search(huge).empty());
    EXPECT_TRUE(logHas("fltsim num [fltsim.12345678901] incorrect"));
    EXPECT_EQ(scan_.invalidCfgFiles.size(), 1U) << "a number that is no number stops the file at once";
}

TEST_F(AircraftCfg, AFileWithoutFltsimHeaderIsListedOnceAndYieldsNothing) {
    const fs::path cfg = writeCfg("pkg/Vehicle", "[General]\nicao_type_designator=A320\ntitle=Tug\n");
    EXPECT_TRUE(search(cfg).empty());
    EXPECT_EQ(scan_.noFltsimFiles.lines(), std::vector<std::string>{text(cfg)});
    EXPECT_EQ(scan_.invalidCfgFiles.size(), 0U);
}

TEST_F(AircraftCfg, TheFirstTypeDesignatorOfTheFileDecides) {
    const fs::path cfg = writeCfg("pkg/B738",
                                  "[General]\nICAO_Type_Designator = \"b738-800\"\n[fltsim.0]\ntitle=KLM 737\n"
                                  "icao_airline=KLM\nicao_type_designator=A320\n");
    const auto liveries = search(cfg);
    ASSERT_EQ(liveries.size(), 1U);
    EXPECT_EQ(liveries[0].key.modelId, modelId("B738"));

    EXPECT_EQ(lf_matchIcaoTypeDesignator("icao_type_designator=A320 ; note"), "A320");
    EXPECT_EQ(lf_matchIcaoTypeDesignator("// icao_type_designator=A320"), "");
    EXPECT_EQ(lf_matchIcaoTypeDesignator("icao_type_designator="), "");
    EXPECT_EQ(lf_matchIcaoTypeDesignator("icao_type_designator=\"\""), "");
    // Four bytes would cut the second letter in half.
    EXPECT_EQ(lf_matchIcaoTypeDesignator("icao_type_designator=a\xC3\x89\xC3\x89"), "A\xC3\x89");
}

TEST_F(AircraftCfg, AWrongTypeIsFixedOrListedAsInvalid) {
    const std::string liveries = "[fltsim.0]\ntitle=Fixed\nicao_airline=DLH\n";
    const fs::path fixed = writeCfg("fixed", "[General]\nicao_type_designator=B73H\n" + liveries);
    const auto found = search(fixed);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].key.modelId, modelId("B738"));
    EXPECT_EQ(scan_.modelFixes.lines(),
              std::vector<std::string>{"Model fix: B73H found in " + text(fixed) + " changed into B738"});

    const fs::path unknown = writeCfg("unknown", "[General]\nicao_type_designator=QQ99\n" + liveries);
    EXPECT_TRUE(search(unknown).empty());
    EXPECT_EQ(scan_.invalidModelCodes.lines(),
              std::vector<std::string>{fmt::format("{:16} in {}", "QQ99", text(unknown))});
}

TEST_F(AircraftCfg, BaseContainerNamesTheSimulatorAircraftWhenNoDesignatorIsGiven) {
    EXPECT_EQ(lf_matchBaseContainer("base_container = \"..\\Asobo_TBM930\""), "TBM9");
    EXPECT_EQ(lf_matchBaseContainer("base_container=../Asobo_VL3"), "VL3");
    EXPECT_EQ(lf_matchBaseContainer("base_container=..\\asobo_tbm930"), "") << "names are case-sensitive";
    EXPECT_EQ(lf_matchBaseContainer("base_container=..\\"), "");
    EXPECT_EQ(lf_matchBaseContainer("base_container=..\\Unknown_Jet"), "");

    const std::string section = "[fltsim.0]\ntitle=Caravan ";
    const fs::path known =
        writeCfg("known", "[General]\nbase_container=..\\Asobo_C172sp_classic\n" + section + "1\nicao_airline=DLH\n");
    const auto found = search(known);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].key.modelId, modelId("C172"));

    const fs::path notInSet = writeCfg("notInSet", "base_container=..\\Asobo_A320_NEO\n" + section + "2\n");
    EXPECT_TRUE(search(notInSet).empty());
    EXPECT_EQ(scan_.invalidModelCodes.lines(),
              std::vector<std::string>{fmt::format("{:16} in {}", "A20N", text(notInSet))});

    const fs::path unknown = writeCfg("unknown", "base_container=..\\Unknown_Jet\n" + section + "3\n");
    EXPECT_TRUE(search(unknown).empty());
    EXPECT_EQ(
        scan_.invalidCfgFiles.lines(),
        std::vector<std::string>{"Line icao_type_designator= is missing in [General] section of " + text(unknown)});
}

TEST_F(AircraftCfg, UserAircraftPackagesWithoutTypeAreSkippedSilently) {
    for (const char* package :
         {"pmdg-aircraft-737/SimObjects/Airplanes/PMDG 737-800", "FNX-Aircraft-320/SimObjects/Airplanes/FNX_320"}) {
        EXPECT_TRUE(search(writeCfg(package, "[fltsim.0]\ntitle=User\n")).empty()) << package;
    }
    EXPECT_EQ(scan_.invalidCfgFiles.size(), 0U);
    EXPECT_EQ(scan_.incompleteSections.size(), 0U);
}

TEST_F(AircraftCfg, ABracketAmongTheFirstSixCharactersClosesTheSection) {
    const fs::path cfg = writeCfg("pkg/A320",
                                  "icao_type_designator=A320\n"
                                  "[fltsim.0]\ntitle=Zero\nicao_airline=DLH\nabcd[x]\ntitle=Not read\n"
                                  "[fltsim.1]\ntitle=One\nicao_airline=DLH\nabcdef[x]\ntitle=Read\n");
    EXPECT_EQ(titles(search(cfg)), std::vector<std::string>{"Zero"});
    EXPECT_EQ(scan_.incompleteSections.lines(),
              std::vector<std::string>{text(folder_ / "pkg/A320") + " [fltsim.1] has more than one title key"});
}

// The same file in every encoding a package may use, with Windows' and
// Unix' line ends.
struct Encoded {
    const char* name;
    std::string bytes;
};

std::string utf16Bytes(const std::string& utf8, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : utf8_to_wide(utf8)) {
        const char high = static_cast<char>(unit >> 8U);
        const char low = static_cast<char>(unit & 0xFFU);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

std::string withCrLf(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

TEST_F(AircraftCfg, EveryTextEncodingGivesTheSameAccentedTitle) {
    const std::string utf8 =
        "[General]\nicao_type_designator=A320\n[fltsim.0]\ntitle=Airbus A320 Café Ñandú €\n"
        "icao_airline=DLH\n";
    // The title in Windows-1252: é E9, Ñ D1, ú FA, € 80.
    const std::string ansi =
        "[General]\nicao_type_designator=A320\n[fltsim.0]\n"
        "title=Airbus A320 Caf\xE9 \xD1\x61nd\xFA \x80\nicao_airline=DLH\n";
    const std::vector<Encoded> files{
        {"utf8", utf8},
        {"utf8_crlf", withCrLf(utf8)},
        {"utf8_bom", "\xEF\xBB\xBF" + withCrLf(utf8)},
        {"utf16le", utf16Bytes(withCrLf(utf8), false)},
        {"utf16be", utf16Bytes(utf8, true)},
        {"ansi", ansi},
        {"ansi_crlf", withCrLf(ansi)},
    };
    for (const Encoded& file : files) {
        scan_.reset();
        const auto liveries = search(writeCfg(file.name, file.bytes));
        ASSERT_EQ(liveries.size(), 1U) << file.name;
        EXPECT_EQ(liveries[0].title, "Airbus A320 Café Ñandú €") << file.name;
        EXPECT_EQ(liveries[0].key.airlineId, airlineId("DLH")) << file.name;
    }
}

TEST_F(AircraftCfg, Windows1252BeyondTheUtf8HeadStillGivesUtf8Titles) {
    // 5 KB of ASCII make the file UTF-8 as far as the charset check looks.
    std::string bytes = "[General]\nicao_type_designator=A320\n";
    while (bytes.size() < std::size_t{5} * 1024) bytes += "; a comment line of plain ASCII text\n";
    bytes += "[fltsim.0]\ntitle=Airbus A320 Caf\xE9\nicao_airline=DLH\n";
    const fs::path cfg = writeCfg("late_ansi", bytes);
    ASSERT_EQ(gf_detectCharset(cfg), Charset::UTF8_without_BOM);
    EXPECT_EQ(titles(search(cfg)), std::vector<std::string>{"Airbus A320 Caf\xC3\xA9"});
}

TEST_F(AircraftCfg, EmptyMissingAndBinaryFilesYieldNothing) {
    const fs::path empty = writeCfg("empty", "");
    EXPECT_TRUE(search(empty).empty());
    EXPECT_EQ(scan_.noFltsimFiles.lines(), std::vector<std::string>{text(empty)});

    scan_.reset();
    EXPECT_TRUE(search(folder_ / "nowhere/aircraft.cfg").empty());
    EXPECT_EQ(scan_.noFltsimFiles.size() + scan_.invalidCfgFiles.size(), 0U);

    const fs::path elf = writeCfg("elf", std::string("\x7F"
                                                     "ELF\x02\x01\x01\0\0\0\xFF\xFE[fltsim.\x01\x02",
                                                     22));
    EXPECT_TRUE(search(elf).empty());
}

TEST_F(AircraftCfg, AFileThatCannotBeDecodedIsListedAsUnreadable) {
    // UTF-16 by its zero bytes, ending in half a surrogate pair.
    const fs::path broken = writeCfg("broken", std::string("A\0B\0\0\xD8", 6));
    EXPECT_TRUE(search(broken).empty());
    EXPECT_TRUE(logHas("! Failed reading " + text(broken)));
    EXPECT_EQ(scan_.invalidCfgFiles.lines(),
              std::vector<std::string>{text(broken) + " could not be read: reading it as Unicode text failed"});

    scan_.reset();
    const fs::path folder = folder_ / "folder/aircraft.cfg";
    fs::create_directories(folder);
    EXPECT_TRUE(search(folder).empty());
    EXPECT_TRUE(logHas("! No text encoding detected for " + text(folder)));
    EXPECT_EQ(scan_.invalidCfgFiles.lines(),
              std::vector<std::string>{text(folder) + " could not be read: it cannot be opened"});
}

TEST_F(AircraftCfg, AnExceptionInAFileIsListedAndTheScanGoesOn) {
    // No airline is interned for private aircraft, and the airline table has
    // no room left for it.
    ASSERT_NO_FATAL_FAILURE(readDbase(test::liveriesDbaseXml(
        {{"ICAO_airlines", R"(<ICAO codes="DLH"/>)"}, {"dbase", R"(<d r="D-AIZA" a="DLH" m="A320"/>)"}})));
    for (std::size_t n = 0; airlineCodes().size() < CodeTable::kMaxCodes; ++n) gf_airlineId("J" + std::to_string(n));

    const fs::path cfg = writeCfg("private", "icao_type_designator=C172\n[fltsim.0]\ntitle=Skyhawk\n");
    EXPECT_TRUE(search(cfg).empty());
    EXPECT_TRUE(logHas("! Exception in lf_searchLiveriesinFile " + text(cfg) + ": "));
    ASSERT_EQ(scan_.invalidCfgFiles.size(), 1U);
    EXPECT_TRUE(scan_.invalidCfgFiles.lines()[0].starts_with(text(cfg) + " could not be read: "));

    const auto next = search(writeCfg("next", "icao_type_designator=A320\n[fltsim.0]\ntitle=Next\nicao_airline=DLH\n"));
    EXPECT_EQ(titles(next), std::vector<std::string>{"Next"});
}

TEST_F(AircraftCfg, FilesLargerThanSixteenMegabytesAreNotRead) {
    // A usable file padded to the limit with one comment line.
    const std::string liveries = "icao_type_designator=A320\n[fltsim.0]\ntitle=Padded\nicao_airline=DLH\n; ";
    const std::string atLimit = liveries + std::string(kMaxAircraftCfgSize - liveries.size(), 'x');
    EXPECT_EQ(titles(search(writeCfg("limit", atLimit))), std::vector<std::string>{"Padded"});

    const fs::path above = writeCfg("above", atLimit + "x");
    EXPECT_TRUE(search(above).empty());
    EXPECT_EQ(scan_.invalidCfgFiles.lines(), std::vector<std::string>{text(above) + " is larger than 16 MB, not read"});
}

}  // namespace
}  // namespace qvl
