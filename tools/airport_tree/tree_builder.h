// Inside the generator: writes the files of a tree and gathers their
// expectation. Not published beyond this folder's sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/airport_tree/airport_tree.h"
#include "tools/bgl_writer/bgl_writer.h"

namespace qvl::airport_tree {

inline const std::filesystem::path kMySimaddon = std::filesystem::path("airports") / "my_simaddon";
inline const std::filesystem::path kMyThirdparty = std::filesystem::path("airports") / "my_thirdparty";

// An airport of the reference data: code, position, altitude (feet).
struct ListedAirport {
    std::string icao;
    double latitude = 0.0;
    double longitude = 0.0;
    std::int32_t altitudeFt = 0;
};

// A manifest.json's members; an absent one is left out of the file.
struct ManifestSpec {
    std::optional<std::string> title{};
    std::optional<std::string> manufacturer{};
    std::optional<std::string> creator{};
};

// `gates` gates "g1".."gN" in a row east of the position and `helipads`
// helipads south of it; every entry passes the reader's checks.
bgl_writer::AirportSpec gateAirport(const std::string& icao, double latitude, double longitude, std::size_t gates,
                                    std::size_t helipads = 0);
// The ids the reader gives such an airport, sorted in byte order.
std::vector<std::string> gateAirportIds(std::size_t gates, std::size_t helipads);
// One airport in one subsection of one airport section.
bgl_writer::FileSpec oneAirportFile(bgl_writer::AirportSpec airport);
// A file of about `bytes` bytes without an airport section.
bgl_writer::FileSpec fileWithoutAirports(std::size_t bytes);

std::vector<std::string> sortedIds(std::vector<std::string> ids);
std::string manifestText(const ManifestSpec& spec);
std::string blanksAsPercent20(std::string_view text);

class TreeBuilder {
public:
    TreeBuilder(Preset preset, Simulator simulator, std::filesystem::path installFolder);

    TreeExpectation& expectation() { return expectation_; }
    [[nodiscard]] Simulator simulator() const { return expectation_.simulator; }
    [[nodiscard]] bool is2024() const { return expectation_.simulator == Simulator::msfs2024; }
    [[nodiscard]] const std::filesystem::path& install() const { return expectation_.installFolder; }
    [[nodiscard]] std::filesystem::path community() const { return install() / "Community"; }
    [[nodiscard]] std::filesystem::path official() const;
    [[nodiscard]] std::filesystem::path streamed() const { return install() / "StreamedPackages"; }

    // The bytes to the file, its folders created first. Throws the file
    // system's error.
    static void writeBytes(const std::filesystem::path& file, std::string_view bytes);
    void writeManifest(const std::filesystem::path& packageFolder, const ManifestSpec& spec);
    // Writes the BGL file and keeps its expectation (its path set).
    void addBgl(const std::filesystem::path& file, const bgl_writer::FileSpec& spec, BglFileExpectation expected);
    void addBglBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes,
                     BglFileExpectation expected);
    // A streamed package folder with a file inside that the scan must not read.
    void addStreamedPackage(const std::string& name, const ManifestSpec& decoyManifest = {});

    void link(const std::filesystem::path& folder, const std::string& icao, const std::string& archivePath);
    // A link to "archive/simaddon/<ICAO>.xml" in my_simaddon.
    void simaddonLink(const std::string& icao);
    // A link to "archive/thirdparty/<publisher, blanks %20>/<ICAO>.xml".
    void thirdpartyLink(const std::string& publisher, const std::string& icao);
    void standFile(const std::filesystem::path& folder, const std::string& icao, std::vector<std::string> ids,
                   std::int32_t helipads, std::string publisher, std::string note);
    void tblo(const std::string& icao) { expectation_.tbloFiles.insert(icao + ".xml"); }
    void line(std::string text, std::string rule);
    void absent(std::string text, std::string rule);

    void listAirport(ListedAirport airport) { airports_.push_back(std::move(airport)); }
    // Throws std::invalid_argument when the install folder's path would
    // change what the scan does (a stop word, a publisher's name, a listed
    // airport between hyphens, a folder named Community, too long a path).
    // Call after the airports are listed and before anything is written.
    void checkInstallPath(const std::vector<std::string>& publisherNames) const;
    void facilityAirport(sim::FacilityAirport airport) {
        expectation_.reference.facilityAirports.push_back(std::move(airport));
    }
    // Fills the reference data from the listed airports and the dbase's
    // sections (the archive tables and publisher groups as XML elements), and
    // the counts from the expected files.
    void finish(std::string_view dbaseAirportSections);

private:
    TreeExpectation expectation_;
    std::vector<ListedAirport> airports_;
};

void buildFullTree(TreeBuilder& builder);

}  // namespace qvl::airport_tree
