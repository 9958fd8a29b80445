// The list of park airports: my_park_airports.txt and the my_thirdparty
// stand files read into it, the file written back, the destination put
// first, and the distances from the user aircraft.
#include "engine/parking/park_airports.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <future>
#include <iterator>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "airports/apf_file.h"
#include "airports/loaded_park_airport.h"
#include "core/file_writer.h"
#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "engine/base/engine.h"
#include "refdata/airports.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFileName = "my_park_airports.txt";
constexpr std::size_t kManyAirports = 3000;
// Positions this close (degrees) are the same position.
constexpr double kSamePosition = 1e-8;

// The code as the file's readers compare it: upper-cased.
std::string foldedCode(std::string_view text) {
    std::string folded(text);
    toUpperInPlace(folded);
    return folded;
}

// The file's lines in the charset it was saved in; false when it cannot be
// opened or read.
bool readParkAirportLines(std::vector<std::string>& lines) {
    const Charset charset = gf_detectCharset(kMyParkAirportsTxt);
    if (charset == Charset::none_found) return false;
    return gf_readTextFileWithCharset(charset, kMyParkAirportsTxt, lines);
}

// The list entry of a known airport; none for a text that is not a code of
// the airport list.
std::optional<ParkAirport> knownAirport(std::string_view text) {
    FixedCode4 code;
    try {
        code = FixedCode4(text);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
    const AirportRec* listed = listedAirport(code);
    if (listed == nullptr) return std::nullopt;
    return ParkAirport{.position = {.latitude = listed->latitude, .longitude = listed->longitude}, .icao = code};
}

bool inList(const std::list<ParkAirport>& list, const FixedCode4& code) {
    return std::any_of(list.begin(), list.end(), [&](const ParkAirport& a) { return a.icao == code; });
}

// One line of the file; false when it names an unknown airport.
bool readParkAirportLine(const std::string& line, std::set<std::string>& seen, std::list<ParkAirport>& list) {
    if (trimView(line).empty()) return true;
    const std::vector<std::string> fields = lf_splitTrimmed(line, ',', EmptyPieces::keep);
    if (fields.size() >= 3) {
        gf_logAttention(fmt::format("{}:{} wrong syntax, skipped", kFileName, line));
        return true;
    }
    if (!seen.insert(foldedCode(fields[0])).second) {
        gf_logAttention(fmt::format("{}:{} double, skipped", kFileName, fields[0]));
        return true;
    }
    std::optional<ParkAirport> entry = knownAirport(fields[0]);
    if (!entry) {
        gf_showMessage(fmt::format("airport {} is unknown", fields[0]), MessageLogging::notLogged);
        return false;
    }
    if (fields.size() == 2) entry->reservedStand = fields[1];
    list.push_back(std::move(*entry));
    return true;
}

// The stand files of the user's add-on airports, in name order so that the
// list comes out the same on every system.
std::vector<fs::path> thirdPartyFiles() {
    std::vector<fs::path> files;
    std::error_code ec;
    if (!fs::is_directory(kMyThirdpartyFolder, ec)) return files;
    for (fs::directory_iterator it(kMyThirdpartyFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError)) files.push_back(it->path());
    }
    if (ec) gf_logAttention(fmt::format("{}: {}", gf_pathToUtf8(kMyThirdpartyFolder), ec.message()));
    std::sort(files.begin(), files.end());
    return files;
}

void lf_addThirdPartyParkAirports(const std::vector<fs::path>& files, std::list<ParkAirport>& list) {
    for (const fs::path& file : files) {
        const std::string stem = gf_pathToUtf8(file.stem());
        FixedCode4 code;
        try {
            code = FixedCode4(stem);
        } catch (const std::invalid_argument& e) {
            // One badly named file never costs the user the other airports.
            gf_logAttention(fmt::format("{}: {}, skipped", gf_pathToUtf8(file), e.what()));
            continue;
        }
        if (inList(list, code)) continue;
        if (std::optional<ParkAirport> entry = knownAirport(stem)) list.push_back(std::move(*entry));
    }
}

// The line of the file that stands for the entry.
std::string parkAirportLine(const ParkAirport& entry) {
    std::string line = entry.icao.isSet() ? std::string(entry.icao.view()) : std::string(20, ' ');
    if (!entry.reservedStand.empty()) line += fmt::format(",{}", entry.reservedStand);
    return line;
}

// The code a line of the file names, folded as the reader folds it.
std::string lineCode(std::string_view line) {
    const std::vector<std::string> fields = lf_splitTrimmed(line, ',', EmptyPieces::keep);
    return fields.empty() ? std::string{} : foldedCode(fields[0]);
}

// Replaces the first line of the new line's airport; false when the file
// has no line of it.
bool lf_updateParkAirportStand(const std::string& newLine, std::vector<std::string>& lines) {
    const std::string code = lineCode(newLine);
    const auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return lineCode(l) == code; });
    if (it == lines.end()) return false;
    if (*it != newLine) {
        *it = newLine;
        gf_log(fmt::format("{}:{} updated stand", kFileName, newLine));
    }
    return true;
}

// Sorted, each line once, blank lines and blanks around lines dropped.
std::string fileText(std::vector<std::string> lines) {
    for (std::string& line : lines) line = lf_trimCopy(line);
    std::erase_if(lines, [](const std::string& line) { return line.empty(); });
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The entry's line merged into the file, on the writer's thread: the file is
// read there and written back through the file layer.
std::error_code writeParkAirportLine(FileLayer& layer, const std::string& newLine) {
    const std::string shown = gf_pathToUtf8(kMyParkAirportsTxt);
    std::error_code ec;
    const bool exists = fs::exists(kMyParkAirportsTxt, ec);
    if (ec) {
        gf_logAttention(fmt::format("{}: {}, {} not written", shown, ec.message(), newLine));
        return ec;
    }
    if (!exists) {
        ec = layer.replaceFile(kMyParkAirportsTxt, newLine + "\n");
        if (ec) {
            gf_logAttention(fmt::format("could not write {}", shown));
        } else {
            gf_log(fmt::format("{} created with {}", kFileName, newLine));
        }
        return ec;
    }
    std::vector<std::string> lines;
    if (!readParkAirportLines(lines)) {
        // Writing now would lose the user's other airports.
        gf_logAttention(fmt::format("could not read {}, {} not written", shown, newLine));
        return std::make_error_code(std::errc::io_error);
    }
    if (!lf_updateParkAirportStand(newLine, lines)) {
        lines.push_back(newLine);
        gf_log(fmt::format("{}:{} new entry", kFileName, newLine));
    }
    ec = layer.replaceFile(kMyParkAirportsTxt, fileText(lines));
    if (ec) gf_logAttention(fmt::format("could not write {}", shown));
    return ec;
}

}  // namespace

ParkAirportsFile readParkAirportsFile() {
    ParkAirportsFile read;
    try {
        read.found = readParkAirportLines(read.lines);
        read.thirdPartyFiles = thirdPartyFiles();
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{} exception: {}", "readParkAirportsFile", e.what()));
    }
    return read;
}

bool takeParkAirportsFile(Engine& engine, const ParkAirportsFile& read) {
    ParkingState& parking = engine.state.parking;
    parking.parkAirports.clear();
    // The new entries have no distances yet: the next update sorts them.
    parking.distancesComputed = false;
    bool allKnown = true;
    try {
        if (!read.found) gf_log(fmt::format("{} not found", gf_pathToUtf8(kMyParkAirportsTxt)));
        std::set<std::string> seen;
        for (const std::string& line : read.lines) {
            if (!readParkAirportLine(line, seen, parking.parkAirports)) allKnown = false;
        }
        lf_addThirdPartyParkAirports(read.thirdPartyFiles, parking.parkAirports);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{} exception: {}", "lf_readMyParkAirports", e.what()));
    }
    const std::size_t count = parking.parkAirports.size();
    gf_log(fmt::format("\n{:5} park airport{} read from '{}'", count, gf_pluralSuffixSize(count), kFileName));
    if (count > kManyAirports) {
        gf_log(
            fmt::format("Warning: There are a lot of airports ({}), that will cost {} much cpu time and may "
                        "cause stutters",
                        count, kProductShortName));
    }
    return allKnown;
}

bool lf_readMyParkAirports(Engine& engine) { return takeParkAirportsFile(engine, readParkAirportsFile()); }

void saveParkAirport(Engine& engine, const ParkAirport& entry) {
    FileWriter& writer = engine.loadedPark.learnedFiles;
    writer.perform(kMyParkAirportsTxt,
                   [line = parkAirportLine(entry)](FileLayer& layer) { return writeParkAirportLine(layer, line); });
    // Each save logs its own outcome.
    static_cast<void>(writer.takeDone());
}

std::future<ParkAirportsFile> readParkAirportsFileInTurn(Engine& engine) {
    auto read = std::make_shared<std::promise<ParkAirportsFile>>();
    std::future<ParkAirportsFile> file = read->get_future();
    engine.loadedPark.learnedFiles.perform(kMyParkAirportsTxt, [read](FileLayer& /*layer*/) {
        read->set_value(readParkAirportsFile());
        return std::error_code{};
    });
    return file;
}

ParkAirport* parkAirportEntry(Engine& engine, const FixedCode4& icao) {
    std::list<ParkAirport>& list = engine.state.parking.parkAirports;
    const auto it = std::find_if(list.begin(), list.end(), [&](const ParkAirport& a) { return a.icao == icao; });
    return it == list.end() ? nullptr : &*it;
}

void gf_addParkAirport(Engine& engine) {
    const std::list<ParkAirport>& list = engine.state.parking.parkAirports;
    if (!list.empty()) saveParkAirport(engine, list.front());
}

void gf_pushParkAirport(Engine& engine, const FixedCode4& icao, const GeoPosition& position) {
    std::list<ParkAirport>& list = engine.state.parking.parkAirports;
    const auto it = std::find_if(list.begin(), list.end(), [&](const ParkAirport& a) { return a.icao == icao; });
    if (it != list.end()) {
        list.splice(list.begin(), list, it);
        return;
    }
    list.push_front({.position = position, .icao = icao});
    gf_addParkAirport(engine);
}

void lf_updateParkAirportDistances(Engine& engine, const GeoPosition& user) {
    ParkingState& parking = engine.state.parking;
    std::list<ParkAirport>& list = parking.parkAirports;
    if (list.empty()) return;
    const bool samePosition = parking.distancesComputed &&
                              std::abs(user.latitude - parking.distancesAt.latitude) <= kSamePosition &&
                              std::abs(user.longitude - parking.distancesAt.longitude) <= kSamePosition;
    if (samePosition) {
        list.front().distance = gf_distanceNm(user, list.front().position);
        return;
    }
    parking.distancesAt = user;
    parking.distancesComputed = true;
    // With a destination the list keeps its order, but its distances must
    // still be those from here: the destination is taken by its distance.
    for (ParkAirport& entry : list) entry.distance = gf_distanceNm(user, entry.position);
    if (DESTINATION.value().empty()) {
        list.sort([](const ParkAirport& a, const ParkAirport& b) { return a.distance < b.distance; });
    }
}

}  // namespace qvl
