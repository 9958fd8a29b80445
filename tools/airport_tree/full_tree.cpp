// The full tree: every case of the add-on airports scan, with the files,
// the tblo package and the scan-log lines it must give.
#include <fmt/format.h>

#include <string>
#include <utility>
#include <vector>

#include "core/text_file.h"
#include "tools/airport_tree/tree_builder.h"

namespace qvl::airport_tree {
namespace fs = std::filesystem;
namespace bw = bgl_writer;
namespace {

constexpr std::string_view kMyPub = "My Pub";
constexpr std::string_view kNorthwind = "Northwind Scenery";
constexpr std::string_view kKestrel = "Kestrel Sim";

// Publisher groups: the first name is the publisher as reported.
constexpr std::string_view kPublisherGroups =
    "<publishers>\n"
    "<pub names=\"My Pub,mypub\"/>\n"
    "<pub names=\"Northwind Scenery,northwind\"/>\n"
    "<pub names=\"Kestrel Sim,kestrelsim,kestrel-\"/>\n"
    "</publishers>\n";

// The archive tables differ by simulator, so that a scan reading the other
// simulator's tables gives other files: LOWL is a maker's archived airport
// only for MSFS 2024, EGLL's stand count differs, and "kestrel sim" (lower
// case) lists LOWI, which the exact publisher "Kestrel Sim" must not find.
constexpr std::string_view kArchiveTables =
    "<simaddons20><simaddon20 arpts=\"EHAM\"/></simaddons20>\n"
    "<simaddons24><simaddon24 arpts=\"EHAM,LOWL,LFPG\"/><simaddon24 arpts=\"KJFK,EDDF\"/></simaddons24>\n"
    "<thirdparties20>\n"
    "<thirdpartie20 pub=\"My Pub\" arpts=\"EGLL117\"/>\n"
    "<thirdpartie20 pub=\"kestrel sim\" arpts=\"LOWI12\"/>\n"
    "<thirdpartie20 pub=\"Kestrel Sim\" arpts=\"LOWS24\"/>\n"
    "<thirdpartie20 pub=\"Northwind Scenery\" arpts=\"LZIB40\"/>\n"
    "</thirdparties20>\n"
    "<thirdparties24>\n"
    "<thirdpartie24 pub=\"My Pub\" arpts=\"EGLL98\"/>\n"
    "<thirdpartie24 pub=\"kestrel sim\" arpts=\"LOWI12\"/>\n"
    "<thirdpartie24 pub=\"Kestrel Sim\" arpts=\"LOWS24\"/>\n"
    "<thirdpartie24 pub=\"Northwind Scenery\" arpts=\"LZIB40\"/>\n"
    "</thirdparties24>\n";

void listAirports(TreeBuilder& b) {
    const std::vector<ListedAirport> airports{
        {"EHAM", 52.3086, 4.7639, -11},   {"LOWL", 48.2332, 14.1875, 980},  {"EGLL", 51.4700, -0.4543, 83},
        {"LOWS", 47.7933, 13.0043, 1411}, {"LOWG", 46.9911, 15.4396, 1115}, {"ENBR", 60.2934, 5.2181, 170},
        {"LKPR", 50.1008, 14.2600, 1247}, {"LOWK", 46.6425, 14.3377, 1472}, {"LOWI", 47.2602, 11.3440, 1907},
        {"LKTB", 49.1513, 16.6944, 778},  {"LFPG", 49.0097, 2.5478, 392},   {"LOWW", 48.1103, 16.5697, 600},
        {"LZIB", 48.1702, 17.2127, 436},  {"LHBP", 47.4298, 19.2611, 495},  {"KJFK", 40.6398, -73.7789, 13},
        {"EDDF", 50.0333, 8.5706, 364},   {"EDDM", 48.3538, 11.7861, 1487}, {"EGKK", 51.1481, -0.1903, 202},
        {"LSZH", 47.4647, 8.5492, 1416},  {"LEBL", 41.2971, 2.0785, 12},    {"ESSA", 59.6519, 17.9186, 137},
        {"EPWA", 52.1657, 20.9671, 362},  {"EBBR", 50.9014, 4.4844, 184},   {"LIRF", 41.8045, 12.2508, 13}};
    for (const ListedAirport& a : airports) b.listAirport(a);
}

// The simulator makers' own airports, read from BGL files: Official for
// MSFS 2020, Community for MSFS 2024 (whose Official2024 is not searched).
void makerPackages(TreeBuilder& b) {
    const fs::path top = b.is2024() ? b.community() : b.official() / "OneStore";
    const fs::path eham = top / "asobo-airport-eham-amsterdam" / "scenery" / "gen" / "apx_eham.bgl";
    b.addBgl(eham, oneAirportFile(gateAirport("EHAM", 52.3086, 4.7639, 4)),
             {.airports = {{.icao = "EHAM", .standIds = gateAirportIds(4, 0)}}, .note = "archived maker airport"});
    b.simaddonLink("EHAM");
    b.line("simaddon airport EHAM linked to archive/simaddon/EHAM.xml\n",
           "a maker's airport (asobo-airport in its path) in the archive is linked");
    b.line("from BGL path => publisher simaddon", "asobo-airport in the path makes the publisher");

    const fs::path lowl = top / "asobo-airport-lowl-linz" / "scenery" / "gen" / "apx_lowl.bgl";
    const std::vector<std::string> lowlIds = gateAirportIds(3, 1);
    b.addBgl(lowl, oneAirportFile(gateAirport("LOWL", 48.2332, 14.1875, 3, 1)),
             {.airports = {{.icao = "LOWL", .standIds = lowlIds, .helipads = 1}},
              .note = "maker airport archived for MSFS 2024 only"});
    if (b.is2024()) {
        b.simaddonLink("LOWL");
        b.line("simaddon airport LOWL linked to archive/simaddon/LOWL.xml\n", "MSFS 2024's maker archive holds LOWL");
    } else {
        b.standFile(kMySimaddon, "LOWL", lowlIds, 1, "simaddon", "maker airport outside MSFS 2020's archive");
        b.line("LOWL does not exist as simaddon", "MSFS 2020's maker archive lacks LOWL");
        b.line("Generated LOWL.xml: 4 positions, of which 1 helipad\n", "an unarchived maker airport is generated");
        b.absent("LOWL has ", "no parkpos line for a maker's airport");
    }
}

// Third party airports linked through a manifest: the creator, or the
// manufacturer, names the publisher.
void manifestLinkedPackages(TreeBuilder& b) {
    const fs::path egllPackage = b.community() / "skyline-egll-london";
    b.writeManifest(egllPackage, {.title = "London Heathrow", .manufacturer = "Skyline", .creator = "mypub designs"});
    b.addBgl(egllPackage / "scenery" / "global" / "airport" / "egll_ap.bgl",
             oneAirportFile(gateAirport("EGLL", 51.47, -0.4543, 6, 2)),
             {.airports = {{.icao = "EGLL", .standIds = gateAirportIds(6, 2), .helipads = 2}},
              .note = "archived under the publisher that the manifest's creator names"});
    b.thirdpartyLink(std::string(kMyPub), "EGLL");
    b.line("Manifest file: title:'London Heathrow, manufacturer:'Skyline', creator:'mypub designs",
           "the manifest two folders above the BGL file is found by the walk up");
    b.line("-> publisher 'My Pub'", "the manufacturer names none, the creator names My Pub");
    b.line("thirdparty airport EGLL linked to archive/thirdparty/My%20Pub/EGLL.xml\n",
           "a publisher's blanks are written %20 in the archive path");

    const fs::path lowsPackage = b.community() / "wolfgang-lows-salzburg";
    b.writeManifest(lowsPackage, {.title = "Salzburg", .manufacturer = "Kestrel Sim", .creator = "Salzburg Team"});
    b.addBgl(lowsPackage / "scenery" / "lows.bgl", oneAirportFile(gateAirport("LOWS", 47.7933, 13.0043, 3)),
             {.airports = {{.icao = "LOWS", .standIds = gateAirportIds(3, 0)}},
              .note = "archived under the publisher that the manifest's manufacturer names"});
    b.thirdpartyLink(std::string(kKestrel), "LOWS");
    b.line("-> publisher 'Kestrel Sim'", "the manufacturer is tried before the creator");
    b.line("thirdparty airport LOWS linked to archive/thirdparty/Kestrel%20Sim/LOWS.xml\n",
           "the manufacturer's publisher lists LOWS");
}

// One of Graz's parkings, `east` degrees east of the reference point.
bw::ParkingSpec grazParking(const bw::ParkingSpec& fields, double kLat, double kLon, double east) {
    bw::ParkingSpec parking = fields;
    parking.latitude = kLat;
    parking.longitude = kLon + east;
    return parking;
}

// Graz's parkings, one every 0.0004 degrees to the east.
std::vector<bw::ParkingSpec> grazParkings(double kLat, double kLon) {
    using P = bw::ParkingSpec;
    return {
        grazParking(P{.nameCode = 10, .type = 8, .number = 1, .radius = 20.0f, .heading = 0.0f}, kLat, kLon, 0.0),
        grazParking(P{.nameCode = 10, .type = 8, .number = 1, .radius = 20.0f, .heading = 90.0f}, kLat, kLon, 0.0004),
        grazParking(P{.nameCode = 14, .type = 4, .number = 5, .radius = 30.0f, .heading = 180.0f, .airlineCodes = 2},
                    kLat, kLon, 0.0008),
        grazParking(P{.nameCode = 0, .type = 1, .number = 7, .radius = 15.0f, .heading = 270.0f}, kLat, kLon, 0.0012),
        grazParking(P{.nameCode = 2, .type = 1, .number = 12, .radius = 15.0f, .heading = 45.0f}, kLat, kLon, 0.0016),
        grazParking(P{.nameCode = 10, .type = 8, .number = 2, .radius = 1.0f, .heading = 10.0f}, kLat, kLon, 0.0020),
        grazParking(P{.nameCode = 10, .type = 12, .number = 3, .radius = 20.0f, .heading = 10.0f}, kLat, kLon, 0.0024),
        grazParking(P{.nameCode = 40, .type = 2, .number = 8, .radius = 20.0f, .heading = 10.0f}, kLat, kLon, 0.0028),
    };
}

// Graz: a publisher from the path, not archived; its parkings exercise the
// stand naming and the checks of the reader.
void grazPackage(TreeBuilder& b) {
    const fs::path package = b.community() / "northwind-lowg-graz";
    const fs::path bgl = package / "scenery" / "LOWG.bgl";
    constexpr double kLat = 46.9911;
    constexpr double kLon = 15.4396;
    bw::AirportSpec lowg{.ident = "LOWG", .altitudeMillimetres = 340000};
    lowg.parkings = grazParkings(kLat, kLon);
    lowg.helipads = {{.latitude = kLat - 0.002, .longitude = kLon, .width = 24.0f}};
    // g1 twice (g1, g1a), name code 14 is 'C', 0 and 40 give the bare
    // number, radius 1.0 m and type 12 are dropped.
    const std::vector<std::string> ids{"7", "8", "C5", "g1", "g1a", "helipad1", "p12"};
    b.addBgl(bgl, oneAirportFile(lowg),
             {.airports = {{.icao = "LOWG", .standIds = ids, .helipads = 1}},
              .note = "publisher from the path, not archived: generated"});
    b.standFile(kMyThirdparty, "LOWG", ids, 1, std::string(kNorthwind), "publisher from the path");
    b.tblo("LOWG");
    const std::string bglText = gf_pathToUtf8(bgl);
    b.line(fmt::format("Try to find publisher in: {}", bglText), "the BGL task's airport looks for its publisher");
    b.line("publisher 'Northwind Scenery' found", "northwind in the path names the publisher");
    b.line("thirdparty Northwind Scenery LOWG does not exist", "the publisher's archive row lacks LOWG");
    b.line(fmt::format("Skipped position with radius 1.0 m in {}", bglText), "radius 1.0 m is not above 1.0 m");
    b.line("LOWG has 7 parkpos while archived one has 0", "an unlinked airport with stands of a third party");
    b.line("Generated LOWG.xml: 7 positions, of which 1 helipad\n", "6 parkings and 1 helipad are kept");

    b.addBgl(package / "scenery" / "terrain.bgl", fileWithoutAirports(700),
             {.taken = false, .hasAirportSection = false, .note = "no airport section"});
    const fs::path statics = package / "scenery" / "statics" / "ESSA.bgl";
    b.addBgl(statics, oneAirportFile(gateAirport("ESSA", 59.6519, 17.9186, 2)),
             {.taken = false,
              .airports = {{.icao = "ESSA", .standIds = gateAirportIds(2, 0)}},
              .note = "below a folder statics"});
    b.absent(gf_pathToUtf8(statics), "a path holding statics is passed over");
    b.absent("ESSA", "the only ESSA lies below statics");
}

// Airports whose publisher is not recognised.
void unrecognisedPackages(TreeBuilder& b) {
    const fs::path enbrPackage = b.community() / "fjord-enbr-bergen";
    b.writeManifest(enbrPackage, {.title = "Bergen Flesland"});
    b.addBgl(enbrPackage / "scenery" / "ENBR.bgl", oneAirportFile(gateAirport("ENBR", 60.2934, 5.2181, 3)),
             {.airports = {{.icao = "ENBR", .standIds = gateAirportIds(3, 0)}},
              .note = "a manifest without manufacturer and creator"});
    b.standFile(kMyThirdparty, "ENBR", gateAirportIds(3, 0), 0, "", "no publisher, no usable maker: not sent");
    b.line("Manifest file: title:'Bergen Flesland, manufacturer:'', creator:'", "absent members read as empty");
    b.line("no valid info found in manifest about publisher", "a manifest without manufacturer and creator");
    b.line("Generated ENBR.xml: 3 positions", "one line without helipads");

    const fs::path lkprPackage = b.community() / "alpine-lkpr-prague";
    b.writeManifest(lkprPackage, {.title = "LKPR Prague", .manufacturer = "Alpine Works", .creator = "Alpine Works"});
    b.addBgl(lkprPackage / "scenery" / "LKPR.bgl", oneAirportFile(gateAirport("LKPR", 50.1008, 14.26, 5)),
             {.airports = {{.icao = "LKPR", .standIds = gateAirportIds(5, 0)}},
              .note = "no publisher, but a usable creator"});
    b.standFile(kMyThirdparty, "LKPR", gateAirportIds(5, 0), 0, "", "sent for the creator Alpine Works");
    b.tblo("LKPR");
    b.line("LKPR has 5 parkpos while archived one has 0", "an unlinked airport without publisher");

    // "Statics" with a capital S is no stop word; no manifest anywhere above.
    const fs::path lowk = b.community() / "zephyr-lowk" / "scenery" / "Statics" / "LOWK.bgl";
    b.addBgl(
        lowk, oneAirportFile(gateAirport("LOWK", 46.6425, 14.3377, 2)),
        {.airports = {{.icao = "LOWK", .standIds = gateAirportIds(2, 0)}}, .note = "below Statics (capital S): taken"});
    b.standFile(kMyThirdparty, "LOWK", gateAirportIds(2, 0), 0, "", "no publisher, no manifest: not sent");
    b.line("===> No publisher found", "no publisher in the path and no manifest");
    b.line("Generated LOWK.xml: 2 positions", "the statics test is case-sensitive");

    // Capitals in the extension; a .bgl2 beside it is no BGL file.
    const fs::path lowiPackage = b.community() / "kestrel-lowi-innsbruck" / "SCENERY";
    b.addBgl(lowiPackage / "LOWI.BGL", oneAirportFile(gateAirport("LOWI", 47.2602, 11.344, 4, 1)),
             {.airports = {{.icao = "LOWI", .standIds = gateAirportIds(4, 1), .helipads = 1}},
              .note = ".BGL in capitals is taken"});
    b.standFile(kMyThirdparty, "LOWI", gateAirportIds(4, 1), 1, std::string(kKestrel),
                "publisher from the path; only \"kestrel sim\" lists it");
    b.tblo("LOWI");
    b.line("thirdparty Kestrel Sim LOWI does not exist", "the archive's publisher is compared exactly");
    b.line("Generated LOWI.xml: 5 positions, of which 1 helipad\n", "4 gates and 1 helipad");
    const fs::path bgl2 = lowiPackage / "extra.bgl2";
    b.addBgl(
        bgl2, oneAirportFile(gateAirport("LIRF", 41.8045, 12.2508, 2)),
        {.taken = false, .airports = {{.icao = "LIRF", .standIds = gateAirportIds(2, 0)}}, .note = "extension .bgl2"});
    b.absent("LIRF", "a .bgl2 file is no BGL file");
}

// Files the task reads without handing in an airport: the leftover pass
// takes them up.
void leftoverPackages(TreeBuilder& b) {
    const fs::path xqxq = b.community() / "zephyr-objects" / "scenery" / "objects_xqxq.bgl";
    b.addBgl(xqxq, oneAirportFile(gateAirport("XQXQ", 45.0, 10.0, 2)),
             {.airports = {}, .note = "its airport is not in the airport list"});
    b.line("XQXQ is not an airport supported by RealTraffic ", "an ident missing from the airport list");
    b.line(fmt::format("\nBGL: {}", gf_pathToUtf8(xqxq)), "the leftover pass takes up the unread file");
    b.line("==> airport could not be detected", "a 12-character stem and no manifest");

    const fs::path lktb = b.community() / "kestrel-lktb-brno" / "scenery" / "LKTB.bgl";
    const bw::BglImage image = bw::corrupted(bw::writeBgl(oneAirportFile(gateAirport("LKTB", 49.1513, 16.6944, 3))),
                                             bw::Corruption::zeroAirportSize);
    b.addBglBytes(lktb, image.bytes, {.airports = {}, .note = "its airport record has size 0"});
    b.line("\n\n\n ******************** Could not read 2 BGL files", "objects_xqxq.bgl and LKTB.bgl");
    b.line(fmt::format("\nBGL: {}", gf_pathToUtf8(lktb)), "the leftover pass takes up the unread file");
    b.line("ICAO code 'LKTB' as BGL stem", "a 4-character stem of a listed airport");
    b.line("thirdparty Kestrel Sim LKTB does not exist", "kestrel- in the path; the archive lacks LKTB");
    b.line("Generated LKTB.xml: 5 positions, of which 1 helipad\n",
           "facility data: numbers 1, 2, 2, 3 and one helipad; type 12 dropped");
    // Numbers met again get a letter; helipads are numbered on their own.
    b.standFile(kMyThirdparty, "LKTB", {"1", "2", "2a", "3", "helipad1"}, 1, std::string(kKestrel),
                "from the simulator's facility data");
    b.tblo("LKTB");
    b.facilityAirport(
        {.icao = "LKTB",
         .latitude = 49.1513,
         .longitude = 16.6944,
         .altitudeMetres = 237.0,
         .name = "Brno Turany",
         .parkings = {{.type = 1, .number = 1, .heading = 90.0f, .radius = 20.0f, .biasX = -60.0f, .biasZ = 40.0f},
                      {.type = 4, .number = 2, .heading = 90.0f, .radius = 20.0f, .biasX = -20.0f, .biasZ = 40.0f},
                      {.type = 4, .number = 2, .heading = 90.0f, .radius = 20.0f, .biasX = 20.0f, .biasZ = 40.0f},
                      {.type = 0, .number = 3, .heading = 0.0f, .radius = 25.0f, .biasX = 60.0f, .biasZ = 40.0f},
                      {.type = 12, .number = 9, .heading = 0.0f, .radius = 25.0f, .biasX = 100.0f, .biasZ = 40.0f}},
         .helipads = {{.latitude = 49.1500, .longitude = 16.6950, .altitude = 237.0, .width = 20.0f, .type = 2}}});
}

// Stop-word folders: nothing below them is read.
void stopWordPackages(TreeBuilder& b) {
    struct Skipped {
        fs::path folder;
        const char* icao;
        double latitude;
        double longitude;
        const char* why;
    };
    const std::vector<Skipped> skipped{
        {b.community() / "fs-base-genericairports" / "scenery", "EDDM", 48.3538, 11.7861, "fs-base"},
        {b.community() / "msfs-tutorials-pack" / "scenery", "EGKK", 51.1481, -0.1903, "tutorials"},
        {b.community() / "northwind-aircraft-livery" / "scenery", "LSZH", 47.4647, 8.5492,
         "aircraft (before any publisher)"},
        {b.community() / "my-landingchallenge-pack" / "scenery", "LEBL", 41.2971, 2.0785, "landingchallenge"},
        {b.community() / "afcad updates", "EPWA", 52.1657, 20.9671, "afcad updates"},
        {b.community() / "eu_heliports" / "scenery", "EBBR", 50.9014, 4.4844, "_heliports"},
    };
    for (const Skipped& s : skipped) {
        const fs::path bgl = s.folder / (std::string(s.icao) + ".bgl");
        b.addBgl(bgl, oneAirportFile(gateAirport(s.icao, s.latitude, s.longitude, 2)),
                 {.taken = false,
                  .airports = {{.icao = s.icao, .standIds = gateAirportIds(2, 0)}},
                  .note = fmt::format("below a stop word: {}", s.why)});
        b.absent(s.icao, fmt::format("nothing below a folder with {} is read", s.why));
    }
}

// MSFS 2024's streamed packages, judged by their folder names alone.
void streamedPackages(TreeBuilder& b) {
    b.addStreamedPackage("microsoft-airport-lfpg-paris-cdg");
    b.simaddonLink("LFPG");
    b.line("airport has ICAO 'LFPG' in directory path", "a maker's package with its code between hyphens");
    b.line("simaddon airport LFPG linked to archive/simaddon/LFPG.xml\n", "MSFS 2024's maker archive holds LFPG");

    b.addStreamedPackage("asobo-airport-loww-vienna");
    b.standFile(kMySimaddon, "LOWW", {"10", "11", "11a"}, 0, "simaddon", "a maker's airport from facility data");
    b.tblo("LOWW");
    b.facilityAirport(
        {.icao = "LOWW",
         .latitude = 48.1103,
         .longitude = 16.5697,
         .altitudeMetres = 183.0,
         .name = "Wien Schwechat",
         .parkings = {{.type = 8, .number = 10, .heading = 180.0f, .radius = 30.0f, .biasX = 0.0f, .biasZ = 150.0f},
                      {.type = 8, .number = 11, .heading = 180.0f, .radius = 30.0f, .biasX = 80.0f, .biasZ = 150.0f},
                      {.type = 8, .number = 11, .heading = 180.0f, .radius = 30.0f, .biasX = 160.0f, .biasZ = 150.0f}},
         .helipads = {}});
    b.line("airport has ICAO 'LOWW' in directory path", "a maker's package with its code between hyphens");
    b.line("LOWW does not exist as simaddon", "the maker archive lacks LOWW");
    b.line("Generated LOWW.xml: 3 positions", "facility numbers 10, 11, 11");

    b.addStreamedPackage("asobo-airport-landmarks");
    b.line("no supported airport ICAO in BGL path", "a maker's package without a code");

    b.addStreamedPackage("northwind-airport-lzib-bratislava");
    b.thirdpartyLink(std::string(kNorthwind), "LZIB");
    b.line("airport has ICAO 'LZIB' in folder path", "a third party package with its code between hyphens");
    b.line("publisher 'Northwind Scenery' found", "northwind in the folder's path");
    b.line("thirdparty airport LZIB linked to archive/thirdparty/Northwind%20Scenery/LZIB.xml\n",
           "Northwind Scenery's row lists LZIB");

    // A manifest inside that names My Pub: the streamed search reads no file.
    b.addStreamedPackage("somefirm-airport-lhbp-budapest", {.title = "LHBP", .creator = "mypub designs"});
    b.standFile(kMyThirdparty, "LHBP", {"1", "2", "helipad1", "helipad2"}, 2, "",
                "unrecognised streamed package: manufacturer 'streamed thirdy party'");
    b.tblo("LHBP");
    b.facilityAirport(
        {.icao = "LHBP",
         .latitude = 47.4298,
         .longitude = 19.2611,
         .altitudeMetres = 151.0,
         .name = "Budapest",
         .parkings = {{.type = 1, .number = 1, .heading = 0.0f, .radius = 20.0f, .biasX = 0.0f, .biasZ = 100.0f},
                      {.type = 1, .number = 2, .heading = 0.0f, .radius = 20.0f, .biasX = 50.0f, .biasZ = 100.0f}},
         .helipads = {{.latitude = 47.4280, .longitude = 19.2600, .altitude = 151.0, .width = 20.0f, .type = 2},
                      {.latitude = 47.4280, .longitude = 19.2620, .altitude = 151.0, .width = 20.0f, .type = 3}}});
    b.line("airport has ICAO 'LHBP' in folder path", "a third party package with its code between hyphens");
    b.line("no publisher found", "somefirm names no publisher");
    b.line("voorbij link2archive", "not linked: the stands come from the facility data");
    b.line("Generated LHBP.xml: 4 positions, of which 2 helipads\n", "2 parkings and 2 helipads");
    b.absent("Manifest file: title:'LHBP", "no manifest of a streamed package is read");

    b.addStreamedPackage("fs20-asobo-airport-kjfk-newyork");
    b.absent("KJFK", "fs20- makes the package skipped");
    b.addStreamedPackage("microsoft-airport-eddf-scenery-frankfurt");
    b.absent("EDDF", "-scenery- makes the package skipped");
    b.addStreamedPackage("kestrel-terrain-mesh");
    TreeBuilder::writeBytes(b.streamed() / "Content.xml", "<Content/>\n");
}

}  // namespace

void buildFullTree(TreeBuilder& b) {
    listAirports(b);
    b.checkInstallPath({"My Pub", "mypub", "Northwind Scenery", "northwind", "Kestrel Sim", "kestrelsim", "kestrel-",
                        "Skyline", "Alpine Works", "Salzburg Team", "zephyr", "somefirm"});
    fs::create_directories(b.official());
    if (b.is2024()) {
        fs::create_directories(b.streamed());
        streamedPackages(b);
        b.line(fmt::format("\n\n\n+++++++++++++++++ Scanning for streamed airports in:\n{}\n",
                           gf_pathToUtf8(b.streamed())),
               "the streamed search comes first for MSFS 2024");
    } else {
        b.line(
            fmt::format("\n\n\n+++++++++++++++++ Scanning for addon  airports in:\n{}\n", gf_pathToUtf8(b.official())),
            "MSFS 2020 searches Official before Community");
    }
    b.line(fmt::format("\n\n\n+++++++++++++++++ Scanning for addon  airports in:\n{}\n", gf_pathToUtf8(b.community())),
           "Community is searched as a BGL folder");
    makerPackages(b);
    manifestLinkedPackages(b);
    grazPackage(b);
    unrecognisedPackages(b);
    leftoverPackages(b);
    stopWordPackages(b);
    b.expectation().simaddonFilesAfterStreamed = b.is2024() ? 2 : 0;  // LFPG.txt and LOWW.xml
    b.finish(fmt::format("{}{}", kPublisherGroups, kArchiveTables));
}

}  // namespace qvl::airport_tree
