#include "tools/airport_tree/airport_tree.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/text_file.h"
#include "tools/airport_tree/tree_builder.h"

namespace qvl::airport_tree {
namespace fs = std::filesystem;
namespace bw = bgl_writer;
namespace {

// Texts that, anywhere in the install folder's path, would make the scan
// pass over the whole tree or judge its packages by the folder above them.
constexpr std::array<std::string_view, 16> kNoCaseStopWords{"fs-base",           "tutorials",
                                                            "aircraft",          "bushtrip",
                                                            "discovery",         "point-of-interest",
                                                            "simobjects",        "vcockpits",
                                                            "aig-aitraffic",     "fsltl",
                                                            "gsx-pro",           "gsx-world",
                                                            "landingchallenge",  "asobo-airport",
                                                            "microsoft-airport", "justflight-aircraft"};
constexpr std::array<std::string_view, 27> kExactStopWords{"statics",
                                                           "afcad updates",
                                                           "_heliports",
                                                           "StreamedPackages",
                                                           "fs20-",
                                                           "-landingchallenge-",
                                                           "-discovery-",
                                                           "-challenges-",
                                                           "-aircraft-",
                                                           "-certification-",
                                                           "-training-",
                                                           "-activities-",
                                                           "-passiveaircraft-",
                                                           "-trainings-",
                                                           "-fs-base-",
                                                           "-travelbook-",
                                                           "-simobjects-",
                                                           "-modellib-",
                                                           "-texturelib",
                                                           "-textlib",
                                                           "-scenery-",
                                                           "-surface-",
                                                           "-vfx-",
                                                           "-coverage-",
                                                           "-point-of-interest",
                                                           "-proceduralgeneration",
                                                           "-simattachmentlib-"};
// The scan skips paths of 250 UTF-16 units; the tree's own folders add up to
// about 80 characters below the install folder.
constexpr std::size_t kLongestInstallPath = 160;

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

constexpr std::string_view kDbaseHead =
    "<?xml version=\"1.0\"?>\n<root>\n"
    "<aircrafts><aircraft types=\"A320,B738\"/></aircrafts>\n"
    "<cargo_types><cargo_type types=\"B738\"/></cargo_types>\n"
    "<heavy><hvy types=\"B738\"/></heavy>\n"
    "<large><lar types=\"A320\"/></large>\n"
    "<buzjet><bzj types=\"A320\"/></buzjet>\n"
    "<high_performance><hpf types=\"A320\"/></high_performance>\n"
    "<rotorcraft><rot types=\"A320\"/></rotorcraft>\n"
    "<ICAO_airlines><ICAO codes=\"AUA,DLH\"/></ICAO_airlines>\n"
    "<cargo_operators><ICAO codes=\"BOX\"/></cargo_operators>\n";
constexpr std::string_view kDbaseTail = "<dbase><d r=\"OE-LBM\" a=\"AUA\" m=\"A320\"/></dbase>\n</root>\n";

void checkEmptyFolder(const fs::path& folder) {
    std::error_code error;
    if (fs::exists(folder, error) && !fs::is_empty(folder, error)) {
        throw std::invalid_argument(fmt::format("the folder {} exists and is not empty", gf_pathToUtf8(folder)));
    }
}

std::string linesOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

std::string escapedLineEnds(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

// --- bench ---------------------------------------------------------------

// Codes "QAAA", "QAAB", ... for the bench's BGL airports and "RAAA", ... for
// its streamed ones: never a real airport, never a publisher's name.
std::string benchCode(char first, std::size_t index) {
    std::string code(1, first);
    code += static_cast<char>('A' + (index / 676) % 26);
    code += static_cast<char>('A' + (index / 26) % 26);
    code += static_cast<char>('A' + index % 26);
    return code;
}

constexpr std::string_view kBenchPublisher = "Northwind Scenery";
constexpr std::string_view kBenchPublisherGroups =
    "<publishers><pub names=\"Northwind Scenery,northwind\"/></publishers>\n";

void checkBenchOptions(const TreeOptions& o) {
    if (o.airportFiles > o.fileCount || o.fileCount == 0 || o.filesPerPackage == 0 || o.minParkings == 0 ||
        o.minParkings > o.maxParkings || o.maxParkings > 4095 || o.airportFiles > 17576 || o.streamedPackages > 17576) {
        throw std::domain_error("bench options out of range");
    }
    if (o.streamedPackages > 0 && o.simulator != Simulator::msfs2024) {
        throw std::domain_error("streamed packages are MSFS 2024's only");
    }
}

// Community: packages of `filesPerPackage` files; every airport file holds
// one unarchived airport whose publisher the package's manifest gives (even
// packages: Northwind Scenery by its creator; odd ones: no publisher, a
// usable creator). Every fifth airport of Northwind is archived.
std::string buildBenchCommunity(TreeBuilder& b, const TreeOptions& o) {
    std::string archived;
    const std::size_t airportEvery = o.fileCount / std::max<std::size_t>(o.airportFiles, 1);
    std::size_t airport = 0;
    for (std::size_t file = 0; file < o.fileCount; ++file) {
        const std::size_t package = file / o.filesPerPackage;
        const fs::path packageFolder = b.community() / fmt::format("bench-pkg-{:05}", package);
        const bool northwind = package % 2 == 0;
        if (file % o.filesPerPackage == 0) {
            b.writeManifest(packageFolder, {.title = fmt::format("Bench package {}", package),
                                            .manufacturer = "Bench Works",
                                            .creator = northwind ? "northwind bench" : "Bench Works"});
        }
        const fs::path bgl = packageFolder / "scenery" / fmt::format("file_{:05}.bgl", file);
        const bool holdsAirport = o.airportFiles > 0 && file % airportEvery == 0 && airport < o.airportFiles;
        if (!holdsAirport) {
            b.addBgl(bgl, fileWithoutAirports(1024),
                     {.taken = false, .hasAirportSection = false, .airports = {}, .note = "bench filler"});
            continue;
        }
        const std::string icao = benchCode('Q', airport);
        const std::size_t span = o.maxParkings - o.minParkings;
        const std::size_t parkings = o.minParkings + (o.airportFiles > 1 ? span * airport / (o.airportFiles - 1) : 0);
        const double latitude = 40.0 + static_cast<double>(airport % 100) * 0.1;
        // A row of 100 airports per tenth of a degree.
        const double longitude = 5.0 + std::floor(static_cast<double>(airport) / 100.0) * 0.1;
        b.listAirport({.icao = icao, .latitude = latitude, .longitude = longitude, .altitudeFt = 100});
        std::vector<std::string> ids = gateAirportIds(parkings, 0);
        b.addBgl(bgl, oneAirportFile(gateAirport(icao, latitude, longitude, parkings)),
                 {.airports = {{.icao = icao, .standIds = ids, .helipads = 0}}, .note = "bench airport"});
        if (northwind && airport % 5 == 0) {
            archived += (archived.empty() ? "" : ",") + icao + std::to_string(parkings);
            b.thirdpartyLink(std::string(kBenchPublisher), icao);
        } else {
            b.standFile(kMyThirdparty, icao, std::move(ids), 0, northwind ? std::string(kBenchPublisher) : "",
                        "bench airport");
            b.tblo(icao);  // a publisher, or a usable creator
        }
        ++airport;
    }
    return archived;
}

// StreamedPackages: simulator-maker packages (even) and third party ones
// (odd, no publisher), every fourth maker's airport archived; the rest read
// from the stand-in's facility data.
std::string buildBenchStreamed(TreeBuilder& b, const TreeOptions& o) {
    std::string archived;
    for (std::size_t i = 0; i < o.streamedPackages; ++i) {
        const std::string icao = benchCode('R', i);
        const std::string lower = lowered(icao);
        const bool maker = i % 2 == 0;
        const double latitude = 30.0 + static_cast<double>(i % 100) * 0.1;
        // A row of 100 airports per tenth of a degree.
        const double longitude = -5.0 + std::floor(static_cast<double>(i) / 100.0) * 0.1;
        b.listAirport({.icao = icao, .latitude = latitude, .longitude = longitude, .altitudeFt = 50});
        b.addStreamedPackage(maker ? fmt::format("asobo-airport-{}-bench", lower)
                                   : fmt::format("benchfirm-airport-{}-bench", lower));
        if (maker && i % 4 == 0) {
            archived += (archived.empty() ? "" : ",") + icao;
            b.simaddonLink(icao);
            continue;
        }
        sim::FacilityAirport airport{.icao = icao,
                                     .latitude = latitude,
                                     .longitude = longitude,
                                     .altitudeMetres = 15.0,
                                     .name = "bench " + icao,
                                     .parkings = {},
                                     .helipads = {}};
        std::vector<std::string> ids;
        for (std::size_t p = 0; p < o.streamedParkings; ++p) {
            airport.parkings.push_back({.type = 8,
                                        .number = static_cast<std::uint32_t>(p + 1),
                                        .heading = 90.0f,
                                        .radius = 20.0f,
                                        .biasX = static_cast<float>(p) * 40.0f,
                                        .biasZ = 100.0f});
            ids.push_back(std::to_string(p + 1));
        }
        b.facilityAirport(std::move(airport));
        b.standFile(maker ? kMySimaddon : kMyThirdparty, icao, sortedIds(std::move(ids)), 0, maker ? "simaddon" : "",
                    "bench streamed airport");
        b.tblo(icao);  // maker files of known airports; third party ones by their manufacturer
    }
    return archived;
}

void buildBenchTree(TreeBuilder& b, const TreeOptions& o) {
    checkBenchOptions(o);
    b.checkInstallPath({"Northwind Scenery", "northwind"});
    const std::string archivedThirdparty = buildBenchCommunity(b, o);
    const std::string archivedSimaddons = buildBenchStreamed(b, o);
    fs::create_directories(b.official());
    const std::string simaddons = archivedSimaddons.empty() ? "ZZZZ" : archivedSimaddons;
    b.finish(fmt::format(
        "{}<simaddons20><simaddon20 arpts=\"ZZZZ\"/></simaddons20>\n"
        "<simaddons24><simaddon24 arpts=\"{}\"/></simaddons24>\n"
        "<thirdparties20><thirdpartie20 pub=\"{}\" arpts=\"{}\"/></thirdparties20>\n"
        "<thirdparties24><thirdpartie24 pub=\"{}\" arpts=\"{}\"/></thirdparties24>\n",
        kBenchPublisherGroups, simaddons, kBenchPublisher, archivedThirdparty, kBenchPublisher, archivedThirdparty));
}

// --- demo ----------------------------------------------------------------

// Bratislava (BTS), 55 km east of the demonstration's Vienna: in the shipped
// airport list, in none of the shipped archive tables, and its package names
// no shipped publisher, so the first start's scan generates its stand file.
constexpr std::string_view kDemoIcao = "LZIB";
constexpr double kDemoLatitude = 48.17020034790039;
constexpr double kDemoLongitude = 17.21269989013672;
constexpr std::size_t kDemoGates = 8;
constexpr std::string_view kDemoPackage = "quorvelant-demo-lzib-bratislava";

// Vienna, the user's airport: the simulator's own airport package (MSFS 2020
// keeps those in Official), which the shipped archive lacks for MSFS 2020,
// so the scan generates airports/my_simaddon/LOWW.xml from its BGL file.
// The layout is the one tools/demo.sh moves its traffic on: the user's stand
// R0 at the user's position, stands A1 to A12 in a row 150 m north of it,
// 80 m apart, noses south (the live arrival parks on A12).
constexpr std::string_view kViennaIcao = "LOWW";
constexpr std::string_view kViennaPackage = "asobo-airport-loww-vienna";
constexpr double kUserLatitude = 48.1103;
constexpr double kUserLongitude = 16.5697;
constexpr double kStandRowMetres = 150.0;
constexpr double kStandStepMetres = 80.0;
constexpr std::uint16_t kStandCount = 12;
constexpr std::uint8_t kNameCodeA = 12;       // 'A'
constexpr std::uint8_t kNameCodeR = 12 + 17;  // 'R'
constexpr std::uint8_t kGateParkingType = 8;
constexpr double kMetresPerDegree = 111120.0;  // as tools/demo.sh converts

bw::ParkingSpec viennaStand(std::uint8_t nameCode, std::uint16_t number, double eastMetres, double northMetres) {
    constexpr double kPi = 3.14159265;  // as tools/demo.sh's awk has it, so positions agree
    const double metresPerLonDegree = kMetresPerDegree * std::cos(kUserLatitude * kPi / 180.0);
    return {.nameCode = nameCode,
            .type = kGateParkingType,
            .number = number,
            .radius = 25.0f,
            .heading = 180.0f,
            .latitude = kUserLatitude + northMetres / kMetresPerDegree,
            .longitude = kUserLongitude + eastMetres / metresPerLonDegree};
}

void addViennaPackage(TreeBuilder& b) {
    const fs::path package = b.official() / "OneStore" / kViennaPackage;
    if (fs::exists(package)) {
        throw std::invalid_argument(fmt::format("{} exists already", gf_pathToUtf8(package)));
    }
    b.writeManifest(package, {.title = "Vienna International", .manufacturer = "", .creator = ""});
    const std::string icao(kViennaIcao);
    bw::AirportSpec airport{.ident = icao, .altitudeMillimetres = 0};
    std::vector<std::string> ids{"R0"};
    airport.parkings.push_back(viennaStand(kNameCodeR, 0, 0.0, 0.0));
    for (std::uint16_t k = 1; k <= kStandCount; ++k) {
        airport.parkings.push_back(
            viennaStand(kNameCodeA, k, static_cast<double>(k) * kStandStepMetres, kStandRowMetres));
        ids.push_back(fmt::format("A{}", k));
    }
    ids = sortedIds(std::move(ids));
    b.addBgl(package / "scenery" / "gen" / "apx_loww.bgl", oneAirportFile(std::move(airport)),
             {.airports = {{.icao = icao, .standIds = ids}}, .note = "the user's airport, the simulator's own"});
    b.standFile(kMySimaddon, icao, ids, 0, "simaddon", "a maker's airport that the archive lacks for MSFS 2020");
    b.line("from BGL path => publisher simaddon", "asobo-airport in the path makes the publisher");
    b.line(fmt::format("{} does not exist as simaddon", icao), "the shipped archive lists LOWW for MSFS 2024 only");
    b.line(fmt::format("Generated {}.xml: {} positions", icao, ids.size()), "the user's airport gets its stand file");
}

void buildDemoTree(TreeBuilder& b) {
    if (b.is2024()) throw std::domain_error("the demo preset is an MSFS 2020 install");
    const fs::path package = b.community() / kDemoPackage;
    if (fs::exists(package)) {
        throw std::invalid_argument(fmt::format("{} exists already", gf_pathToUtf8(package)));
    }
    b.listAirport({.icao = std::string(kDemoIcao), .latitude = kDemoLatitude, .longitude = kDemoLongitude});
    b.listAirport({.icao = std::string(kViennaIcao), .latitude = kUserLatitude, .longitude = kUserLongitude});
    b.checkInstallPath({});
    b.writeManifest(
        package,
        {.title = "Bratislava demonstration airport", .manufacturer = "", .creator = "Quorvelant demonstration"});
    const std::string icao(kDemoIcao);
    const fs::path bgl = package / "scenery" / "lzib_airport.bgl";
    std::vector<std::string> ids = gateAirportIds(kDemoGates, 1);
    b.addBgl(bgl, oneAirportFile(gateAirport(icao, kDemoLatitude + 0.002, kDemoLongitude - 0.004, kDemoGates, 1)),
             {.airports = {{.icao = icao, .standIds = ids, .helipads = 1}}, .note = "the demonstration's airport"});
    b.standFile(kMyThirdparty, icao, ids, 1, "", "no publisher: the manifest's creator is no publisher's name");
    b.tblo(icao);
    b.line("no valid info found in manifest about publisher", "the manifest names no publisher");
    b.line(fmt::format("{} has {} parkpos while archived one has 0", icao, ids.size()),
           "an unlinked airport with stands and another publisher than simaddon");
    b.line(fmt::format("Generated {}.xml: {} positions, of which 1 helipad\n", icao, ids.size()),
           "the generated file's line counts stands and helipads");
    addViennaPackage(b);
    // The shipped data are meant: no reference texts of our own.
    b.finish("");
    b.expectation().reference.airportsXml.clear();
    b.expectation().reference.dbaseXml.clear();
}

}  // namespace

// --- the builder ---------------------------------------------------------

bw::AirportSpec gateAirport(const std::string& icao, double latitude, double longitude, std::size_t gates,
                            std::size_t helipads) {
    constexpr std::uint8_t kGateName = 10;  // "g"
    constexpr std::uint8_t kGateType = 8;
    constexpr double kGateSpacing = 0.0004;  // degrees of longitude
    bw::AirportSpec airport{.ident = icao, .altitudeMillimetres = 150000};
    airport.parkings.reserve(gates);
    for (std::size_t i = 0; i < gates; ++i) {
        airport.parkings.push_back({.nameCode = kGateName,
                                    .type = kGateType,
                                    .number = static_cast<std::uint16_t>(i + 1),
                                    .radius = 24.0f,
                                    .heading = static_cast<float>((i * 30) % 360),
                                    .latitude = latitude,
                                    .longitude = longitude + kGateSpacing * static_cast<double>(i % 1000),
                                    .airlineCodes = static_cast<std::uint8_t>(i % 3)});
        if (i >= 1000) airport.parkings.back().latitude = latitude + 0.001;
    }
    for (std::size_t h = 0; h < helipads; ++h) {
        airport.helipads.push_back(
            {.latitude = latitude - 0.002, .longitude = longitude + 0.001 * static_cast<double>(h), .width = 30.0f});
    }
    return airport;
}

std::vector<std::string> gateAirportIds(std::size_t gates, std::size_t helipads) {
    std::vector<std::string> ids;
    ids.reserve(gates + helipads);
    for (std::size_t i = 1; i <= gates; ++i) ids.push_back(fmt::format("g{}", i));
    for (std::size_t h = 1; h <= helipads; ++h) ids.push_back(fmt::format("helipad{}", h));
    return sortedIds(std::move(ids));
}

bw::FileSpec oneAirportFile(bw::AirportSpec airport) {
    return {.sections = {{.subsections = {{.airports = {std::move(airport)}}}}}};
}

bw::FileSpec fileWithoutAirports(std::size_t bytes) {
    // Header and section table (76 bytes), one 16-byte subsection entry,
    // then 16-byte records of another kind.
    const std::size_t records = bytes > 92 ? (bytes - 92) / 16 : 1;
    constexpr std::uint32_t kTerrainSection = 0x65;
    return {.sections = {{.type = kTerrainSection,
                          .subsections = {{.otherRecordsBefore = static_cast<std::uint32_t>(records)}}}}};
}

std::vector<std::string> sortedIds(std::vector<std::string> ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::string manifestText(const ManifestSpec& spec) {
    std::string members = "  \"content_type\": \"SCENERY\"";
    const auto add = [&](std::string_view key, const std::optional<std::string>& value) {
        if (value) members += fmt::format(",\n  \"{}\": \"{}\"", key, *value);
    };
    add("title", spec.title);
    add("manufacturer", spec.manufacturer);
    add("creator", spec.creator);
    return "{\n" + members + ",\n  \"package_version\": \"1.0.0\"\n}\n";
}

std::string blanksAsPercent20(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == ' ') {
            out += "%20";
        } else {
            out += c;
        }
    }
    return out;
}

TreeBuilder::TreeBuilder(Preset preset, Simulator simulator, fs::path installFolder) {
    expectation_.preset = preset;
    expectation_.simulator = simulator;
    expectation_.installFolder = std::move(installFolder);
    if (simulator == Simulator::msfs2024) {
        expectation_.scanFolders = {streamed(), community()};
    } else {
        expectation_.scanFolders = {official(), community()};
    }
}

fs::path TreeBuilder::official() const { return install() / (is2024() ? "Official2024" : "Official"); }

void TreeBuilder::writeBytes(const fs::path& file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw fs::filesystem_error("write", file, std::make_error_code(std::errc::io_error));
}

void TreeBuilder::writeManifest(const fs::path& packageFolder, const ManifestSpec& spec) {
    writeBytes(packageFolder / "manifest.json", manifestText(spec));
}

void TreeBuilder::addBgl(const fs::path& file, const bw::FileSpec& spec, BglFileExpectation expected) {
    addBglBytes(file, bw::writeBgl(spec).bytes, std::move(expected));
}

void TreeBuilder::addBglBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes,
                              BglFileExpectation expected) {
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    writeBytes(file, view);
    expected.path = file;
    expectation_.bglFiles.push_back(std::move(expected));
}

void TreeBuilder::addStreamedPackage(const std::string& name, const ManifestSpec& decoyManifest) {
    const fs::path folder = streamed() / name;
    writeBytes(folder / "layout.json", "{\"content\": []}\n");
    if (decoyManifest.title || decoyManifest.manufacturer || decoyManifest.creator) {
        writeManifest(folder, decoyManifest);
    }
    expectation_.streamedPackages.push_back(folder);
}

void TreeBuilder::link(const fs::path& folder, const std::string& icao, const std::string& archivePath) {
    expectation_.linkFiles.push_back({.file = folder / (icao + ".txt"), .content = archivePath + "\n"});
}

void TreeBuilder::simaddonLink(const std::string& icao) {
    link(kMySimaddon, icao, fmt::format("archive/simaddon/{}.xml", icao));
}

void TreeBuilder::thirdpartyLink(const std::string& publisher, const std::string& icao) {
    link(kMyThirdparty, icao, fmt::format("archive/thirdparty/{}/{}.xml", blanksAsPercent20(publisher), icao));
}

void TreeBuilder::standFile(const fs::path& folder, const std::string& icao, std::vector<std::string> ids,
                            std::int32_t helipads, std::string publisher, std::string note) {
    expectation_.standFiles.push_back({.file = folder / (icao + ".xml"),
                                       .ids = sortedIds(std::move(ids)),
                                       .helipads = helipads,
                                       .publisher = std::move(publisher),
                                       .note = std::move(note)});
}

void TreeBuilder::line(std::string text, std::string rule) {
    expectation_.scanLogLines.push_back({.text = std::move(text), .rule = std::move(rule)});
}

void TreeBuilder::absent(std::string text, std::string rule) {
    expectation_.absentScanLogTexts.push_back({.text = std::move(text), .rule = std::move(rule)});
}

void TreeBuilder::checkInstallPath(const std::vector<std::string>& publisherNames) const {
    const std::string text = gf_pathToUtf8(install());
    const std::string folded = lowered(text);
    const auto refuse = [&](std::string_view why) {
        throw std::invalid_argument(
            fmt::format("the install folder {} {}: the scan would judge the tree by it", text, why));
    };
    if (text.size() > kLongestInstallPath) refuse("is too long");
    for (const std::string_view word : kNoCaseStopWords) {
        if (folded.find(word) != std::string::npos) refuse(fmt::format("holds \"{}\"", word));
    }
    for (const std::string_view word : kExactStopWords) {
        if (text.find(word) != std::string::npos) refuse(fmt::format("holds \"{}\"", word));
    }
    for (const std::string& name : publisherNames) {
        if (folded.find(lowered(name)) != std::string::npos) refuse(fmt::format("names the publisher \"{}\"", name));
    }
    for (const ListedAirport& airport : airports_) {
        if (folded.find("-" + lowered(airport.icao) + "-") != std::string::npos) {
            refuse(fmt::format("names the airport {}", airport.icao));
        }
    }
    for (const fs::path& part : install()) {
        if (lowered(gf_pathToUtf8(part)) == "community") refuse("has a folder named Community");
    }
}

void TreeBuilder::finish(std::string_view dbaseAirportSections) {
    ReferenceData& reference = expectation_.reference;
    std::sort(airports_.begin(), airports_.end(),
              [](const ListedAirport& a, const ListedAirport& b) { return a.icao < b.icao; });
    reference.airportsXml = "<?xml version=\"1.0\"?>\n<root>\n<airports>\n";
    for (const ListedAirport& a : airports_) {
        reference.airportsXml += fmt::format("<ap c=\"{}\" la=\"{:.6f}\" lo=\"{:.6f}\" a=\"{}\" s=\"0\"/>\n", a.icao,
                                             a.latitude, a.longitude, a.altitudeFt);
    }
    reference.airportsXml += "</airports>\n</root>\n";
    reference.dbaseXml = fmt::format("{}{}{}", kDbaseHead, dbaseAirportSections, kDbaseTail);
    for (const sim::FacilityAirport& a : reference.facilityAirports) {
        reference.scenarioText += fmt::format("airport = {} {:.6f} {:.6f} {:.1f} {}\n", a.icao, a.latitude, a.longitude,
                                              a.altitudeMetres, a.name);
        for (const sim::FacilityParking& p : a.parkings) {
            reference.scenarioText += fmt::format("parking = {} {} {} {} {} {} {}\n", a.icao, p.number, p.type,
                                                  p.heading, p.radius, p.biasX, p.biasZ);
        }
        for (const sim::FacilityHelipad& h : a.helipads) {
            reference.scenarioText += fmt::format("helipad = {} {:.6f} {:.6f} {} {} {} {} {}\n", a.icao, h.latitude,
                                                  h.longitude, h.altitude, h.heading, h.length, h.width, h.type);
        }
    }
    const auto countIn = [&](const fs::path& folder) {
        std::size_t n = 0;
        for (const auto& l : expectation_.linkFiles) n += l.file.parent_path() == folder ? 1 : 0;
        for (const auto& s : expectation_.standFiles) n += s.file.parent_path() == folder ? 1 : 0;
        return n;
    };
    expectation_.simaddonFiles = countIn(kMySimaddon);
    expectation_.thirdpartyFiles = countIn(kMyThirdparty);
}

// --- public ----------------------------------------------------------------

std::optional<Preset> presetFromName(std::string_view name) {
    if (name == "full") return Preset::full;
    if (name == "bench") return Preset::bench;
    if (name == "demo") return Preset::demo;
    return std::nullopt;
}

std::optional<Simulator> simulatorFromName(std::string_view name) {
    if (name == "2020" || name == "MSFS 2020") return Simulator::msfs2020;
    if (name == "2024" || name == "MSFS 2024") return Simulator::msfs2024;
    return std::nullopt;
}

std::string_view simChoiceText(Simulator simulator) {
    return simulator == Simulator::msfs2024 ? "MSFS 2024" : "MSFS 2020";
}

std::string_view standInSimulatorName(Simulator simulator) {
    return simulator == Simulator::msfs2024 ? "SunRise" : "KittyHawk";
}

Result<TreeExpectation, TreeError> generateTree(Preset preset, const fs::path& installFolder,
                                                const TreeOptions& options) {
    try {
        if (preset != Preset::demo) checkEmptyFolder(installFolder);
    } catch (const std::exception& e) {
        return fail(TreeError::badFolder, e.what());
    }
    try {
        TreeBuilder builder(preset, options.simulator, installFolder);
        switch (preset) {
            case Preset::full: buildFullTree(builder); break;
            case Preset::bench: buildBenchTree(builder, options); break;
            case Preset::demo: buildDemoTree(builder); break;
        }
        return std::move(builder.expectation());
    } catch (const std::invalid_argument& e) {
        return fail(TreeError::badFolder, e.what());
    } catch (const std::domain_error& e) {
        return fail(TreeError::badOptions, e.what());
    } catch (const std::exception& e) {
        return fail(TreeError::writeFailed, e.what());
    }
}

Result<void, TreeError> writeExpectation(const TreeExpectation& expectation, const fs::path& folder) {
    try {
        std::vector<std::string> lines;
        for (const auto& l : expectation.linkFiles) {
            lines.push_back(fmt::format("{}\t{}", gf_pathToUtf8(l.file), escapedLineEnds(l.content)));
        }
        TreeBuilder::writeBytes(folder / "links.txt", linesOf(lines));
        lines.clear();
        for (const auto& s : expectation.standFiles) {
            lines.push_back(fmt::format("{}\t{}\t{}\t{}", gf_pathToUtf8(s.file), s.standCount(), s.helipads,
                                        fmt::join(s.ids, ",")));
        }
        TreeBuilder::writeBytes(folder / "stand_files.txt", linesOf(lines));
        TreeBuilder::writeBytes(folder / "tblo.txt",
                                linesOf({expectation.tbloFiles.begin(), expectation.tbloFiles.end()}));
        lines.clear();
        for (const auto& l : expectation.scanLogLines) {
            lines.push_back(fmt::format("{}\t{}", l.rule, escapedLineEnds(l.text)));
        }
        TreeBuilder::writeBytes(folder / "scan_log.txt", linesOf(lines));
        const ReferenceData& reference = expectation.reference;
        if (!reference.airportsXml.empty()) TreeBuilder::writeBytes(folder / "airports.xml", reference.airportsXml);
        if (!reference.dbaseXml.empty()) TreeBuilder::writeBytes(folder / "dbase.xml", reference.dbaseXml);
        if (!reference.scenarioText.empty()) TreeBuilder::writeBytes(folder / "scenario.txt", reference.scenarioText);
    } catch (const std::exception& e) {
        return fail(TreeError::writeFailed, e.what());
    }
    return {};
}

}  // namespace qvl::airport_tree
