// The tree of every case: each aircraft.cfg with the liveries and problem
// lines its readers must give, case by case, each with the rule it checks.
#include <fmt/format.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "tools/livery_tree/tree_writer.h"

namespace qvl::livery_tree {
namespace fs = std::filesystem;
namespace {

// The walk does not enter a folder whose full path has this many bytes.
constexpr std::size_t kPathLimit = 250;
// A file without header is still searched for its type (and has none).
constexpr std::string_view kNoDesignator = "Line icao_type_designator= is missing in [General] section of ";

struct Extra {
    std::string registration{};
    bool cargo = false;
    std::string second{};
};

ExpectedLivery lv(std::string airline, std::string model, std::string title, Extra extra = {}) {
    return {.title = std::move(title),
            .registration = std::move(extra.registration),
            .airline = std::move(airline),
            .secondAirline = std::move(extra.second),
            .model = std::move(model),
            .cargo = extra.cargo,
            .folderIndex = 0};
}

std::string dupKey(const CfgCase& c, std::string_view header, std::string_view key) {
    return fmt::format("{} {} has more than one {} key", c.dir(), header, key);
}

// ---------------------------------------------------------------- AIG (1)

// The airline and parking keys of complete sections.
void aigAirlineSections(CfgCase& c) {
    // A complete section: title, airline, registration, gate parking.
    c.line("[fltsim.0]").line("title=Airbus A320 Lufthansa D-AIUA").line("icao_airline=DLH").line("atc_id=D-AIUA");
    c.line("atc_parking_types=GATE").line("texture=DLH").line("");
    c.livery(lv("DLH", "A320", "Airbus A320 Lufthansa D-AIUA", {.registration = "D-AIUA"}));
    // A header with leading blanks; a quoted title; DLHC cut to DLH; "cargo" parking makes a cargo livery.
    c.line("  [fltsim.1]").line("title=\"Airbus A320 Lufthansa Cargo\"").line("icao_airline=DLHC");
    c.line("atc_parking_types=cargo");
    c.livery(lv("DLH", "A320", "Airbus A320 Lufthansa Cargo", {.cargo = true}));
    // An upper-case header; blanks around "="; bawx upper-cased and cut; atc_id comment cut at ";";
    // GATE,CARGO stays a passenger livery.
    c.line("[FLTSIM.2]").line("title = Airbus A320 British Airways G-EUUB").line("icao_airline = bawx");
    c.line("atc_id=G-EUUB;old").line("atc_parking_types=GATE,CARGO");
    c.livery(lv("BAW", "A320", "Airbus A320 British Airways G-EUUB", {.registration = "G-EUUB"}));
    // DLHA stays four letters, is unknown and listed; the dropped code lets the next icao_airline line count.
    c.line("[fltsim.3]").line("title=Airbus A320 Lufthansa DLHA").line("icao_airline=DLHA").line("icao_airline=DLH");
    c.invalidAirline("DLHA", "[fltsim.3]");
    c.livery(lv("DLH", "A320", "Airbus A320 Lufthansa DLHA"));
    // zzzz is upper-cased after the ZZZZ test: an unknown code; without airline a non-heavy model is private.
    c.line("[fltsim.4]").line("title=Airbus A320 zzzz").line("icao_airline=zzzz");
    c.invalidAirline("ZZZZ", "[fltsim.4]").missingAirline("[fltsim.4]");
    c.livery(lv("PVT", "A320", "Airbus A320 zzzz"));
    // ZZZZ is the fictional airline, whose registration is dropped.
    c.line("[fltsim.5]").line("title=Airbus A320 Generic ZZZZ").line("icao_airline=ZZZZ").line("atc_id=D-ABCD");
    c.livery(lv("ZZZ", "A320", "Airbus A320 Generic ZZZZ"));
    // ZZZZ in quotes is the fictional airline too.
    c.line("[fltsim.6]").line("title=Airbus A320 Generic quoted").line("icao_airline=\"ZZZZ\"");
    c.livery(lv("ZZZ", "A320", "Airbus A320 Generic quoted"));
    // An empty pair of quotes is the fictional airline.
    c.line("[fltsim.7]").line("title=Airbus A320 Generic empty quotes").line("icao_airline=\"\"");
    c.livery(lv("ZZZ", "A320", "Airbus A320 Generic empty quotes"));
}

// A second title, airline, parking or atc_id key rejects the section.
void aigDuplicateKeySections(CfgCase& c) {
    // A second title key, in another case, rejects the section.
    c.line("[fltsim.8]").line("title=Airbus A320 Two Titles").line("icao_airline=DLH");
    c.line("TITLE=Airbus A320 Second Title");
    c.incomplete(dupKey(c, "[fltsim.8]", "title"));
    // A commented title is no title; a comment naming icao_airline after the key rejects the section.
    c.line("[fltsim.9]").line("title=Airbus A320 Commented Keys").line(";title=Airbus A320 Old Title");
    c.line("icao_airline=DLH").line("; icao_airline=BAW was the old operator");
    c.incomplete(dupKey(c, "[fltsim.9]", "icao_airline"));
    // A second atc_parking_types key rejects the section.
    c.line("[fltsim.10]").line("title=Airbus A320 Two Parking Types").line("icao_airline=DLH");
    c.line("atc_parking_types=GATE").line("atc_parking_types=CARGO");
    c.incomplete(dupKey(c, "[fltsim.10]", "atc_parking_types"));
    // A second atc_id key rejects the section, with its own line form.
    c.line("[fltsim.11]").line("title=Airbus A320 Two Atc Id Keys").line("icao_airline=DLH");
    c.line("atc_id=D-AIUB").line("atc_id=D-AIUC");
    c.incomplete(fmt::format("{}, {}, has more than one atc_id key", c.dir(), "[fltsim.11]"));
}

// The atc_id rules, and what a registration the database knows gives.
void aigRegistrationSections(CfgCase& c) {
    // An atc_id of 4 characters is ignored.
    c.line("[fltsim.12]").line("title=Airbus A320 Short Atc Id").line("icao_airline=DLH").line("atc_id=N123");
    c.livery(lv("DLH", "A320", "Airbus A320 Short Atc Id"));
    // Two registrations leave none, without a line.
    c.line("[fltsim.13]").line("title=Airbus A320 Two Regs").line("icao_airline=DLH").line("atc_id=D-ABCD,D-ABCE");
    c.livery(lv("DLH", "A320", "Airbus A320 Two Regs"));
    // A registration with "*" is invalid.
    c.line("[fltsim.14]").line("title=Airbus A320 Star Reg").line("icao_airline=DLH").line("atc_id=D-AB*");
    c.incomplete("invalid atc_id=D-AB* in: Airbus A320 Star Reg");
    c.livery(lv("DLH", "A320", "Airbus A320 Star Reg"));
    // A value that begins with ";" is invalid, reported with the empty text before the cut.
    c.line("[fltsim.15]").line("title=Airbus A320 Semicolon Reg").line("icao_airline=DLH").line("atc_id=;D-ABCD");
    c.incomplete("invalid atc_id= in: Airbus A320 Semicolon Reg");
    c.livery(lv("DLH", "A320", "Airbus A320 Semicolon Reg"));
    // A registration longer than 12 characters is invalid.
    c.line("[fltsim.16]").line("title=Airbus A320 Long Reg").line("icao_airline=DLH").line("atc_id=ABCDEFGHIJKLM");
    c.incomplete("invalid atc_id=ABCDEFGHIJKLM in: Airbus A320 Long Reg");
    c.livery(lv("DLH", "A320", "Airbus A320 Long Reg"));
    // The invalid-atc_id line names the title read so far: none yet.
    c.line("[fltsim.17]").line("atc_id=D-AB**").line("title=Airbus A320 Late Title").line("icao_airline=DLH");
    c.incomplete("invalid atc_id=D-AB** in: ");
    c.livery(lv("DLH", "A320", "Airbus A320 Late Title"));
    // A registration the database knows gives its record's whole key, whatever the section's airline.
    c.line("[fltsim.18]").line("title=Airbus A320 Lufthansa CityLine D-AIZA").line("icao_airline=BAW");
    c.line("atc_id=D-AIZA").line("atc_parking_types=GATE");
    c.livery(lv("DLH", "A320", "Airbus A320 Lufthansa CityLine D-AIZA",
                {.registration = "D-AIZA", .cargo = true, .second = "CLH"}));
    // A registration without its dash is found through its variants; the record's model wins.
    c.line("[fltsim.19]").line("title=Airbus A321 Lufthansa DAIZB").line("icao_airline=DLH").line("atc_id=DAIZB");
    c.livery(lv("DLH", "A321", "Airbus A321 Lufthansa DAIZB", {.registration = "DAIZB"}));
    // A "-STUB" title is a fictional livery without registration.
    c.line("[fltsim.20]").line("title=Airbus A320 Lufthansa-STUB").line("icao_airline=DLH").line("atc_id=D-AIUD");
    c.livery(lv("ZZZ", "A320", "Airbus A320 Lufthansa-STUB"));
}

// Sections dropped, silently or with a line, and sections without airline.
void aigRejectedSections(CfgCase& c) {
    // A "Fictional" title ends the section silently.
    c.line("[fltsim.21]").line("title=Airbus A320 Fictional Air").line("icao_airline=DLH");
    // A user aircraft's title rejects the section silently: no line at all, not even for the airline
    // that was never read (such a section is no AI livery).
    c.line("[fltsim.22]").line("title=FenixA320 Lufthansa").line("icao_airline=DLH");
    // RFO rejects the section silently, with no line either.
    c.line("[fltsim.23]").line("title=Airbus A320 Returned For Overhaul").line("icao_airline=RFO");
    // A section without title.
    c.line("[fltsim.24]").line("icao_airline=DLH").line("atc_parking_types=GATE");
    c.incomplete(fmt::format("{} {} misses title", c.dir(), "[fltsim.24]"));
    // A title taken before in the same file.
    c.line("[fltsim.25]").line("title=Airbus A320 Lufthansa D-AIUA").line("icao_airline=DLH");
    c.incomplete(
        fmt::format("{} {} title '{}' already exists", c.dir(), "[fltsim.25]", "Airbus A320 Lufthansa D-AIUA"));
    // A "don't use" title ends the section silently.
    c.line("[fltsim.26]").line("title=Airbus A320 Do Not Use").line("icao_airline=DLH");
    // Private: the short registration found in the title gives its record's key.
    c.line("[fltsim.27]").line("title=Airbus A320 private N123");
    c.missingAirline("[fltsim.27]");
    c.livery(lv("PVT", "C172", "Airbus A320 private N123", {.registration = "N123"}));
    // No airline, a registration the database knows: the record's airline and model.
    c.line("[fltsim.28]").line("title=Airbus A320 KLM by registration").line("atc_id=PH-BXA");
    c.missingAirline("[fltsim.28]");
    c.livery(lv("KLM", "B738", "Airbus A320 KLM by registration", {.registration = "PH-BXA"}));
    // A record without model gives an unusable key: reported as a title that already exists.
    c.line("[fltsim.29]").line("title=Airbus A320 no model record").line("atc_id=D-NOMOD");
    c.missingAirline("[fltsim.29]");
    c.incomplete(fmt::format("{} {} title '{}' already exists", c.dir(), "[fltsim.29]", "Airbus A320 no model record"));
    // No airline, an unknown registration, a non-heavy model: private with that registration.
    c.line("[fltsim.30]").line("title=Airbus A320 private unknown reg").line("atc_id=D-AIUX");
    c.missingAirline("[fltsim.30]");
    c.livery(lv("PVT", "A320", "Airbus A320 private unknown reg", {.registration = "D-AIUX"}));
}

// Odd headers, and the quote rule.
void aigHeaderSections(CfgCase& c) {
    // A header with a comment after it is malformed (number 10000) and still opens a section.
    c.line("[fltsim.31] ; from the old package").line("title=Airbus A320 Header Comment").line("icao_airline=DLH");
    c.livery(lv("DLH", "A320", "Airbus A320 Header Comment"));
    // A "[" at position 6 stays in the section.
    c.line("[fltsim.32]").line("title=[Bracket] Airbus A320").line("icao_airline=DLH");
    c.livery(lv("DLH", "A320", "[Bracket] Airbus A320"));
    // A "[" at position 4 closes the section: the airline after it is not read.
    c.line("[fltsim.33]").line("title=Airbus A320 Closed Early").line("abc [closer]").line("icao_airline=DLH");
    c.missingAirline("[fltsim.33]");
    c.livery(lv("PVT", "A320", "Airbus A320 Closed Early"));
    // A header commented out with "//" opens nothing.
    c.line("//[fltsim.34]").line("title=Airbus A320 Slashed Header").line("icao_airline=DLH");
    // A header commented out with ";" still opens a section (number 10000).
    c.line(";[fltsim.35]").line("title=Airbus A320 Semicolon Header").line("icao_airline=DLH");
    c.livery(lv("DLH", "A320", "Airbus A320 Semicolon Header"));
    // The quote rule drops what follows the closing quote.
    c.line("[fltsim.36]").line("title=Airbus A320 Lufthansa quoted code").line("icao_airline = \"DLH\" ; quoted");
    c.livery(lv("DLH", "A320", "Airbus A320 Lufthansa quoted code"));
}

// Headers, keys and section rules of an ordinary aircraft.cfg, one section each.
void aigKeyCases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    CfgCase c(airplanes / "AIG_A320_DLH" / "aircraft.cfg", CfgReader::ordinary, index,
              "every header and key case of an ordinary aircraft.cfg; UTF-8, LF");
    c.line("[General]").line("atc_type=Airbus").line("icao_type_designator=A320").line("");
    aigAirlineSections(c);
    aigDuplicateKeySections(c);
    aigRegistrationSections(c);
    aigRejectedSections(c);
    aigHeaderSections(c);
    const std::string bytes = encodeText(c.text(), TextEncoding::utf8, LineEnd::lf);

    // A backup copy beside it is no aircraft.cfg.
    CfgCase backup(c.expected().path.parent_path() / "aircraft.cfg.bak", CfgReader::ordinary, index,
                   "a backup copy: only files named aircraft.cfg are read");
    w.addRaw(std::move(backup.notWalked()), bytes);
    // A converter's copy of the aircraft inside the package: the walk never enters "_CVT_".
    CfgCase copy(airplanes / "_CVT_AIG_A320_DLH" / "aircraft.cfg", CfgReader::ordinary, index,
                 "a converter's copy of an aircraft folder");
    w.expectation().shapes.cvtAircraftCopy = copy.expected().path.parent_path();
    w.addRaw(std::move(copy.notWalked()), bytes);
    w.addRaw(std::move(c), bytes);
}

// The three forms of UTF-16 the reader tells apart; a fixed type and the heavy model rules.
void aigUtf16Cases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    {
        // UTF-16 little-endian with a mark; a wrong type code the database fixes.
        CfgCase c(airplanes / "AIG_A321_AUA" / "aircraft.cfg", CfgReader::ordinary, index,
                  "UTF-16 LE with BOM; the type A21S is fixed into A321");
        c.line("[General]").line("icao_type_designator=A21S");
        c.line("[fltsim.0]").line("title=Airbus A321 Austrian").line("icao_airline=AUA");
        c.problems().modelFixes.push_back("Model fix: A21S found in " + c.cfg() + " changed into A321");
        c.livery(lv("AUA", "A321", "Airbus A321 Austrian"));
        w.add(std::move(c), TextEncoding::utf16LeWithBom, LineEnd::lf);
    }
    {
        // UTF-16 big-endian with a mark and CRLF; the heavy model's rules without airline.
        CfgCase c(airplanes / "AIG_B77L_DLH" / "aircraft.cfg", CfgReader::ordinary, index,
                  "UTF-16 BE with BOM, CRLF; a heavy model without airline is dropped");
        c.line("[General]").line("icao_type_designator=B77L");
        // A cargo livery of a heavy model with its airline.
        c.line("[fltsim.0]").line("title=Boeing 777F Lufthansa Cargo").line("icao_airline=DLH");
        c.line("atc_parking_types=CARGO");
        c.livery(lv("DLH", "B77L", "Boeing 777F Lufthansa Cargo", {.cargo = true}));
        // Heavy, no airline, no registration: dropped.
        c.line("[fltsim.1]").line("title=Boeing 777F no airline");
        c.missingAirline("[fltsim.1]");
        c.incomplete(fmt::format("'{}' '{}' has no airline and no regcode info", c.dir(), "[fltsim.1]"));
        // Heavy, no airline, a registration the database does not know: dropped.
        c.line("[fltsim.2]").line("title=Boeing 777F unknown reg").line("atc_id=D-AXXX");
        c.missingAirline("[fltsim.2]");
        c.incomplete(fmt::format("'{}' '{}' has no airline and regcode not in dbase", c.dir(), "[fltsim.2]"));
        w.add(std::move(c), TextEncoding::utf16BeWithBom, LineEnd::crlf);
    }
    {
        // UTF-16 little-endian without a mark is told by its zero bytes and read.
        CfgCase c(airplanes / "AIG_A319_BAW" / "aircraft.cfg", CfgReader::ordinary, index, "UTF-16 LE without BOM");
        c.line("[General]").line("icao_type_designator=A319");
        c.line("[fltsim.0]").line("title=Airbus A319 British Airways").line("icao_airline=BAW");
        c.livery(lv("BAW", "A319", "Airbus A319 British Airways"));
        w.add(std::move(c), TextEncoding::utf16LeWithoutBom, LineEnd::lf);
    }
}

// Text encodings and line ends, and the first type code rules.
void aigEncodingCases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    {
        // UTF-8 with a mark and CRLF; a quoted type with a suffix gives its first 4 characters; the
        // first type designator decides, a later one in a section is ignored.
        CfgCase c(airplanes / "AIG_B738_KLM" / "aircraft.cfg", CfgReader::ordinary, index,
                  "UTF-8 with BOM, CRLF; B738-800 gives B738; the first type designator decides");
        c.line("[General]").line("icao_type_designator=\"B738-800\"");
        c.line("[fltsim.0]")
            .line("title=Boeing 737-800 KLM")
            .line("icao_airline=KLM")
            .line("icao_type_designator=A320");
        c.line("[fltsim.1]").line("title=Boeing 737-800 easyJet").line("icao_airline=EZY");
        c.livery(lv("KLM", "B738", "Boeing 737-800 KLM")).livery(lv("EZY", "B738", "Boeing 737-800 easyJet"));
        w.add(std::move(c), TextEncoding::utf8WithBom, LineEnd::crlf);
    }
    aigUtf16Cases(w, airplanes, index);
    {
        // Windows-1252 with accented titles and the euro sign (0x80), CRLF: titles arrive as UTF-8.
        CfgCase c(airplanes / "AIG_A320_EZY" / "aircraft.cfg", CfgReader::ordinary, index,
                  "Windows-1252 with accented titles, CRLF");
        c.line("[General]").line("icao_type_designator=A320");
        c.line("[fltsim.0]").line("title=Airbus A320 easyJet Zürich €").line("icao_airline=EZY");
        c.line("[fltsim.1]").line("title=Airbus A320 easyJet Aérolíneas Niño").line("icao_airline=EZY");
        c.livery(lv("EZY", "A320", "Airbus A320 easyJet Zürich €"));
        c.livery(lv("EZY", "A320", "Airbus A320 easyJet Aérolíneas Niño"));
        w.add(std::move(c), TextEncoding::windows1252, LineEnd::crlf);
    }
}

// Files that are empty, binary or whose section numbers make them unusable.
void aigUnusableFileCases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    {
        // An empty file has no fltsim header, and then no type designator either.
        CfgCase c(airplanes / "AIG_empty" / "aircraft.cfg", CfgReader::ordinary, index, "an empty file");
        c.problems().noFltsimFiles.push_back(c.cfg());
        c.problems().invalidCfgFiles.push_back(std::string(kNoDesignator) + c.cfg());
        w.addRaw(std::move(c), "");
    }
    {
        // A binary file (read as Windows-1252) has no fltsim header and no type designator;
        // "Aircraft.CFG" is an aircraft.cfg.
        CfgCase c(airplanes / "AIG_binary" / "Aircraft.CFG", CfgReader::ordinary, index,
                  "a binary file named Aircraft.CFG");
        c.problems().noFltsimFiles.push_back(c.cfg());
        c.problems().invalidCfgFiles.push_back(std::string(kNoDesignator) + c.cfg());
        std::string bytes = "\x89PNG\r\n\x1A\n";
        std::uint32_t seed = 20240613U;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1664525U + 1013904223U;
            const auto byte = static_cast<char>(seed >> 24U);
            bytes += byte == '[' ? ' ' : byte;
        }
        w.addRaw(std::move(c), bytes);
    }
    {
        // A section number above 10000 makes the file unusable.
        CfgCase c(airplanes / "AIG_number_10001" / "aircraft.cfg", CfgReader::ordinary, index,
                  "a section number above 10000");
        c.line("[General]").line("icao_type_designator=A320");
        c.line("[fltsim.0]").line("title=Airbus A320 Lufthansa 10001 file").line("icao_airline=DLH");
        c.line("[fltsim.10001]").line("title=Airbus A320 Lufthansa 10001").line("icao_airline=DLH");
        c.problems().invalidCfgFiles.push_back(c.cfg() + " contains a [fltsim.x] section with a number < 0 or > 10000");
        w.add(std::move(c));
    }
    {
        // A section number that is no 32-bit number: logged, and the file yields nothing.
        CfgCase c(airplanes / "AIG_number_overflow" / "aircraft.cfg", CfgReader::ordinary, index,
                  "an 11-digit section number");
        c.line("[General]").line("icao_type_designator=A320");
        c.line("[fltsim.0]").line("title=Airbus A320 Lufthansa overflow file").line("icao_airline=DLH");
        c.line("[fltsim.12345678901]").line("title=Airbus A320 Lufthansa overflow").line("icao_airline=DLH");
        w.add(std::move(c));
    }
}

// Where the type comes from when the file names none, or one nobody knows.
void aigTypeCodeCases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    {
        // No type designator: the simulator aircraft named by base_container gives the type.
        CfgCase c(airplanes / "AIG_TBM9_base" / "aircraft.cfg", CfgReader::ordinary, index,
                  "base_container names a simulator aircraft");
        c.line("[General]").line("base_container = \"..\\Asobo_TBM930\"");
        c.line("[fltsim.0]").line("title=TBM 930 private owner");
        c.missingAirline("[fltsim.0]");
        c.livery(lv("PVT", "TBM9", "TBM 930 private owner"));
        w.add(std::move(c));
    }
    {
        // No type designator and an unknown base_container.
        CfgCase c(airplanes / "AIG_unknown_base" / "aircraft.cfg", CfgReader::ordinary, index,
                  "no type designator, unknown base_container");
        c.line("[General]").line("base_container=..\\Asobo_Unknown");
        c.line("[fltsim.0]").line("title=Unknown base Lufthansa").line("icao_airline=DLH");
        c.problems().invalidCfgFiles.push_back(std::string(kNoDesignator) + c.cfg());
        w.add(std::move(c));
    }
    {
        // A type code the database neither knows nor fixes.
        CfgCase c(airplanes / "AIG_ZZ99" / "aircraft.cfg", CfgReader::ordinary, index, "an unknown type code");
        c.line("[General]").line("icao_type_designator=ZZ99");
        c.line("[fltsim.0]").line("title=Unknown type Lufthansa").line("icao_airline=DLH");
        c.problems().invalidModelCodes.push_back(fmt::format("{:16} in {}", "ZZ99", c.cfg()));
        w.add(std::move(c));
    }
    {
        // A user aircraft's package without type designator is passed over without a line.
        CfgCase c(airplanes / "pmdg-aircraft-737-liveries" / "aircraft.cfg", CfgReader::ordinary, index,
                  "a user aircraft package without type designator");
        c.line("[General]").line("atc_type=Boeing");
        c.line("[fltsim.0]").line("title=Boeing 737-800 user aircraft").line("icao_airline=DLH");
        w.add(std::move(c));
    }
}

// ---------------------------------------------------------------- FSLTL (2)

void fsltlCases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    {
        // DLH A320 is dropped by the priority of the AIG folder; AUA A320 is this folder's own.
        CfgCase c(airplanes / "FSLTL_A320" / "aircraft.cfg", CfgReader::ordinary, index,
                  "a lower-priority duplicate of airline and model");
        c.line("[General]").line("icao_type_designator=A320");
        c.line("[fltsim.0]").line("title=FSLTL A320 Lufthansa").line("icao_airline=DLH");
        c.line("[fltsim.1]").line("title=FSLTL A320 Austrian").line("icao_airline=AUA");
        c.livery(lv("DLH", "A320", "FSLTL A320 Lufthansa")).livery(lv("AUA", "A320", "FSLTL A320 Austrian"));
        w.add(std::move(c));
    }
    {
        // Stop words are compared case-sensitively: "Inibuilds" is entered.
        CfgCase c(airplanes / "Inibuilds_A319" / "aircraft.cfg", CfgReader::ordinary, index,
                  "a stop word in another case is entered");
        c.line("[General]").line("icao_type_designator=A319");
        c.line("[fltsim.0]").line("title=FSLTL A319 KLM").line("icao_airline=KLM");
        c.livery(lv("KLM", "A319", "FSLTL A319 KLM"));
        w.add(std::move(c), TextEncoding::utf8, LineEnd::crlf);
    }
    {
        // A folder named after a scenery maker is not entered.
        CfgCase c(airplanes / "inibuilds-a310" / "aircraft.cfg", CfgReader::ordinary, index, "a stop-word folder");
        c.line("[General]").line("icao_type_designator=A320");
        c.line("[fltsim.0]").line("title=Stop word A320 Lufthansa").line("icao_airline=DLH");
        w.expectation().shapes.stopWordFolder = c.expected().path.parent_path();
        w.add(std::move(c.notWalked()));
    }
    // A link to its own folder: a walk that follows links must still end.
    const fs::path loopFolder = airplanes / "FSLTL_loop";
    TreeWriter::writeBytes(loopFolder / "readme.txt", "a folder that holds a link to itself\n");
    fs::create_directory_symlink(".", loopFolder / "again");
    w.expectation().shapes.symlinkLoop = loopFolder / "again";
}

// ---------------------------------------------------------------- JF (3)

void jfCases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    CfgCase c(airplanes / "JF_B738" / "aircraft.cfg", CfgReader::ordinary, index, "a Just Flight package");
    c.line("[General]").line("icao_type_designator=B738");
    c.line("[fltsim.0]").line("title=JF B738 Austrian").line("icao_airline=AUA");
    c.livery(lv("AUA", "B738", "JF B738 Austrian"));
    w.add(std::move(c), TextEncoding::utf8, LineEnd::crlf);
}

// ---------------------------------------------------------------- IVAO MTL (4)

void makeTextures(const fs::path& folder, std::initializer_list<const char*> names) {
    for (const char* name : names) fs::create_directories(folder / name);
}

void missingTexture(CfgCase& c, std::string_view texture, std::string_view header) {
    c.incomplete(fmt::format("{}/texture.{} {} does not exist", c.dir(), texture, header));
}

void noAirlineInTitle(CfgCase& c, std::string_view header, std::string_view title, std::string_view tail) {
    c.incomplete(fmt::format("{} {} misses airlinecode in title: {}{}", c.dir(), header, title, tail));
}

// The airline in an IVAO title, the texture folder, and a registration instead.
void mtlTitleSections(CfgCase& c) {
    // The airline follows the type in the title; parking types never make an IVAO cargo livery.
    c.line("[fltsim.0]").line("title=A320DLH Lufthansa").line("texture=DLH").line("atc_parking_types=CARGO");
    c.livery(lv("DLH", "A320", "A320DLH Lufthansa"));
    // Blanks between the type and the airline.
    c.line("[fltsim.1]").line("title=A320 BAW British Airways").line("texture=BAW");
    c.livery(lv("BAW", "A320", "A320 BAW British Airways"));
    // An unknown airline in the title is listed.
    c.line("[fltsim.2]").line("title=A320XYZ Unknown").line("texture=DLH");
    c.invalidAirline("XYZ", "[fltsim.2]");
    // A lower-case airline is no known code.
    c.line("[fltsim.3]").line("title=A320dlh lower case").line("texture=DLH");
    c.invalidAirline("dlh", "[fltsim.3]");
    // A texture folder that is not there.
    c.line("[fltsim.4]").line("title=A320DLH Missing Texture").line("texture=MISSING");
    missingTexture(c, "MISSING", "[fltsim.4]");
    // No texture key looks for "texture.", which is not there.
    c.line("[fltsim.5]").line("title=A320DLH No Texture");
    missingTexture(c, "", "[fltsim.5]");
    // No airline in the title: a registration the database knows gives its record's key.
    c.line("[fltsim.6]").line("title=Airbus A320 PH-BXA").line("atc_id=PH-BXA").line("texture=DLH");
    c.livery(lv("KLM", "B738", "Airbus A320 PH-BXA", {.registration = "PH-BXA"}));
    // No airline in the title, an unknown registration.
    c.line("[fltsim.7]").line("title=Airbus A320 no airline").line("atc_id=D-AIUQ").line("texture=DLH");
    noAirlineInTitle(c, "[fltsim.7]", "Airbus A320 no airline", ", and regcode unknown D-AIUQ");
    // No airline in the title, no registration.
    c.line("[fltsim.8]").line("title=Airbus A320 nothing").line("texture=DLH");
    noAirlineInTitle(c, "[fltsim.8]", "Airbus A320 nothing", ", and no regcode");
    // Blanks inside the title's quotes are removed.
    c.line("[fltsim.9]").line("title=\"  A320 EZY spaced  \"").line("texture=DLH");
    c.livery(lv("EZY", "A320", "A320 EZY spaced"));
}

// Keys given twice, the atc_id rules, and a section closed early.
void mtlKeySections(CfgCase& c) {
    // A second title key.
    c.line("[fltsim.10]").line("title=A320DLH Two Titles").line("title=A320DLH Second").line("texture=DLH");
    c.incomplete(dupKey(c, "[fltsim.10]", "title"));
    // The fictional airline drops the registration.
    c.line("[fltsim.11]").line("title=A320ZZZ Generic").line("atc_id=D-AIUZ").line("texture=DLH");
    c.livery(lv("ZZZ", "A320", "A320ZZZ Generic"));
    // A title taken before.
    c.line("[fltsim.12]").line("title=A320DLH Lufthansa").line("texture=DLH");
    c.incomplete(fmt::format("{} {} title already exists: {}", c.dir(), "[fltsim.12]", "A320DLH Lufthansa"));
    // An IVAO atc_id is not cut at ";".
    c.line("[fltsim.13]").line("title=A320DLH Semicolon Reg").line("atc_id=D-AIUA;x").line("texture=DLH");
    c.livery(lv("DLH", "A320", "A320DLH Semicolon Reg", {.registration = "D-AIUA;x"}));
    // An invalid atc_id, in the IVAO line form.
    c.line("[fltsim.14]").line("title=A320DLH Star Reg").line("atc_id=D-AB*").line("texture=DLH");
    c.incomplete("invalid atc_id=D-AB* in A320DLH Star Reg");
    c.livery(lv("DLH", "A320", "A320DLH Star Reg"));
    // A "[" anywhere in a line closes an IVAO section: the texture after it is not read.
    c.line("[fltsim.15]").line("title=A320BAW Closed Early").line("remark [closes the section]");
    c.line("texture=BAW");
    missingTexture(c, "", "[fltsim.15]");
    // A "don't use" title gives nothing, silently.
    c.line("[fltsim.16]").line("title=A320DLH Do Not Use").line("texture=DLH");
    // A second atc_parking_types key.
    c.line("[fltsim.17]").line("title=A320DLH Two Parking").line("atc_parking_types=GATE");
    c.line("atc_parking_types=CARGO").line("texture=DLH");
    c.incomplete(dupKey(c, "[fltsim.17]", "atc_parking_types"));
    // A second atc_id key.
    c.line("[fltsim.18]").line("title=A320DLH Two Atc Ids").line("atc_id=D-AIUF").line("atc_id=D-AIUG");
    c.line("texture=DLH");
    c.incomplete(fmt::format("{}, {}, has more than one atc_id key", c.dir(), "[fltsim.18]"));
    // The texture folder is found as Windows finds it, whatever the case of its name.
    c.line("[fltsim.19]").line("title=A320BAW lower-case texture").line("texture=baw");
    c.livery(lv("BAW", "A320", "A320BAW lower-case texture"));
}

void mtlCases(TreeWriter& w, const fs::path& package, std::int16_t index) {
    const fs::path airplanes = package / "SimObjects" / "Airplanes";
    {
        CfgCase c(airplanes / "IVAO_A320" / "aircraft.cfg", CfgReader::ivao, index,
                  "every section and texture case of an IVAO file; UTF-8 with BOM");
        makeTextures(airplanes / "IVAO_A320", {"texture.DLH", "texture.BAW"});
        c.line("[General]").line("atc_type=Airbus");
        mtlTitleSections(c);
        mtlKeySections(c);
        w.add(std::move(c), TextEncoding::utf8WithBom, LineEnd::lf);
    }
    {
        // A winglet package wants a W after the type.
        CfgCase c(airplanes / "IVAO_B738WLfa" / "aircraft.cfg", CfgReader::ivao, index,
                  "a winglet package; Windows-1252 text");
        makeTextures(airplanes / "IVAO_B738WLfa", {"texture.KLM"});
        c.line("[fltsim.0]").line("title=B738W KLM").line("texture=KLM");
        c.livery(lv("KLM", "B738", "B738W KLM"));
        c.line("[fltsim.1]").line("title=B738 DLH no winglet").line("texture=KLM");
        c.incomplete(fmt::format("{} {} misses airlinecode in title: {}, and no regcode", c.dir(), "[fltsim.1]",
                                 "B738 DLH no winglet"));
        w.add(std::move(c), TextEncoding::windows1252, LineEnd::crlf);
    }
    {
        // A type folder the database fixes.
        CfgCase c(airplanes / "IVAO_B73H" / "aircraft.cfg", CfgReader::ivao, index, "an IVAO type that is fixed");
        makeTextures(airplanes / "IVAO_B73H", {"texture.EZY"});
        c.line("[fltsim.0]").line("title=B738EZY fixed type").line("texture=EZY");
        c.problems().modelFixes.push_back("Model fix: B73H found in " + c.cfg() + " changed into B738");
        c.livery(lv("EZY", "B738", "B738EZY fixed type"));
        w.add(std::move(c), TextEncoding::utf16LeWithBom, LineEnd::crlf);
    }
    {
        // A type folder the database does not know.
        CfgCase c(airplanes / "IVAO_Q400" / "aircraft.cfg", CfgReader::ivao, index, "an unknown IVAO type");
        makeTextures(airplanes / "IVAO_Q400", {"texture.KLM"});
        c.line("[fltsim.0]").line("title=Q400KLM").line("texture=KLM");
        c.problems().invalidModelCodes.push_back(fmt::format("{:16} in {}", "Q400", c.cfg()));
        w.add(std::move(c));
    }
    {
        // An aircraft.cfg outside the package's layout has no type: listed with a blank code.
        CfgCase c(package / "Extras" / "aircraft.cfg", CfgReader::ivao, index, "an IVAO file outside the layout");
        c.line("[fltsim.0]").line("title=A320DLH Extras").line("texture=DLH");
        c.problems().invalidModelCodes.push_back(fmt::format("{:16} in {}", "  ", c.cfg()));
        w.add(std::move(c));
    }
}

// ---------------------------------------------------------------- user-aitraffic (5)

// A folder name that makes the folder's full path exactly `bytes` long.
fs::path folderOfLength(const fs::path& parent, std::string_view start, std::size_t bytes, std::string_view end = {}) {
    const std::size_t used = gf_pathToUtf8(parent).size() + 1 + start.size() + end.size();
    if (used >= bytes || bytes - used > 200) {
        throw std::length_error(
            fmt::format("the folder {} does not leave room for a path of {} bytes", gf_pathToUtf8(parent), bytes));
    }
    return parent / pathFromUtf8(std::string(start) + std::string(bytes - used, 'x') + std::string(end));
}

void userCases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    {
        // DLH A320 is dropped by priority; CLH A320 is this folder's own.
        CfgCase c(airplanes / "MyA320" / "aircraft.cfg", CfgReader::ordinary, index, "the user's own package");
        c.line("[General]").line("icao_type_designator=A320");
        c.line("[fltsim.0]").line("title=User A320 Lufthansa").line("icao_airline=DLH");
        c.line("[fltsim.1]").line("title=User A320 Lufthansa CityLine").line("icao_airline=CLH");
        c.livery(lv("DLH", "A320", "User A320 Lufthansa")).livery(lv("CLH", "A320", "User A320 Lufthansa CityLine"));
        w.add(std::move(c));
    }
    {
        // AUA B738 is dropped by the priority of the Just Flight folder.
        CfgCase c(airplanes / "MyB738" / "aircraft.cfg", CfgReader::ordinary, index, "a duplicate of a JF livery");
        c.line("[General]").line("icao_type_designator=B738");
        c.line("[fltsim.0]").line("title=User B738 Austrian").line("icao_airline=AUA");
        c.livery(lv("AUA", "B738", "User B738 Austrian"));
        w.add(std::move(c));
    }
    {
        // The walk does not follow a link to a folder outside the package.
        const fs::path target = w.community() / "shared-liveries-library" / "LinkedA319";
        CfgCase real(target / "aircraft.cfg", CfgReader::ordinary, index, "");
        real.line("[General]").line("icao_type_designator=A319");
        real.line("[fltsim.0]").line("title=Linked A319 easyJet").line("icao_airline=EZY");
        TreeWriter::writeBytes(real.expected().path, encodeText(real.text(), TextEncoding::utf8, LineEnd::lf));
        fs::create_directory_symlink(target, airplanes / "Linked");
        w.expectation().shapes.folderLink = airplanes / "Linked";

        CfgCase c(airplanes / "Linked" / "aircraft.cfg", CfgReader::ordinary, index, "a link out of the package");
        CfgFileExpectation linked = c.notWalked().takeExpected();
        w.expectation().files.push_back(std::move(linked));
    }
}

// The walk's limit on a folder's full path, in UTF-8 bytes.
void userLongPathCases(TreeWriter& w, const fs::path& airplanes, std::int16_t index) {
    auto& shapes = w.expectation().shapes;
    {
        // A folder whose full path has 249 bytes is entered; the file in it has a longer path.
        const fs::path folder = folderOfLength(airplanes, "Long_", kPathLimit - 1);
        shapes.enteredLongPath = folder;
        CfgCase c(folder / "aircraft.cfg", CfgReader::ordinary, index, "a folder path of 249 bytes");
        c.line("[General]").line("icao_type_designator=A321");
        c.line("[fltsim.0]").line("title=User A321 CityLine long path").line("icao_airline=CLH");
        c.livery(lv("CLH", "A321", "User A321 CityLine long path"));
        w.add(std::move(c));
    }
    {
        // A folder whose full path has 250 bytes is not entered.
        const fs::path folder = folderOfLength(airplanes, "Longer_", kPathLimit);
        shapes.skippedLongPath = folder;
        CfgCase c(folder / "aircraft.cfg", CfgReader::ordinary, index, "a folder path of 250 bytes");
        c.line("[General]").line("icao_type_designator=A321");
        c.line("[fltsim.0]").line("title=User A321 CityLine too long").line("icao_airline=CLH");
        w.add(std::move(c.notWalked()));
    }
    {
        // 250 bytes in 249 characters: the limit counts UTF-8 bytes.
        const fs::path folder = folderOfLength(airplanes, "Längst_", kPathLimit);
        shapes.skippedMultibyteLongPath = folder;
        CfgCase c(folder / "aircraft.cfg", CfgReader::ordinary, index, "a folder path of 250 bytes, 249 characters");
        c.line("[General]").line("icao_type_designator=A321");
        c.line("[fltsim.0]").line("title=User A321 CityLine multibyte").line("icao_airline=CLH");
        w.add(std::move(c.notWalked()));
    }
}

}  // namespace

CfgCase& CfgCase::invalidAirline(std::string_view code, std::string_view header) {
    expected_.problems.invalidAirlineCodes.push_back(fmt::format("{:12} in {} {}", code, cfgText_, header));
    return *this;
}

void buildFullCaseTree(TreeWriter& writer) {
    const fs::path& community = writer.community();
    auto& expectation = writer.expectation();
    expectation.dontUseTitles = {"Airbus A320 Do Not Use", "A320DLH Do Not Use"};
    const fs::path airplanes = fs::path("SimObjects") / "Airplanes";

    // The beta name is the only AIG folder, so the detector takes it.
    const fs::path aig = community / "aig-aitraffic-oci-beta";
    const std::int16_t aigIndex = writer.addPackage(aig);
    aigKeyCases(writer, aig / airplanes, aigIndex);
    aigEncodingCases(writer, aig / airplanes, aigIndex);
    aigUnusableFileCases(writer, aig / airplanes, aigIndex);
    aigTypeCodeCases(writer, aig / airplanes, aigIndex);

    const fs::path fsltl = community / "fsltl-traffic-base";
    fsltlCases(writer, fsltl / airplanes, writer.addPackage(fsltl));
    const fs::path jf = community / "justflight-fstraffic-module";
    jfCases(writer, jf / airplanes, writer.addPackage(jf));
    const fs::path mtl = community / "IVAO_MTL";
    mtlCases(writer, mtl, writer.addPackage(mtl));
    const fs::path user = community / "user-aitraffic";
    const std::int16_t userIndex = writer.addPackage(user);
    userCases(writer, user / airplanes, userIndex);
    userLongPathCases(writer, user / airplanes, userIndex);

    // A converter's copy of the AIG package: the detector must not take it.
    const fs::path copy = community / "aig-aitraffic-oci_CVT_";
    fs::copy(aig, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    expectation.shapes.cvtPackageCopy = copy;
}

}  // namespace qvl::livery_tree
