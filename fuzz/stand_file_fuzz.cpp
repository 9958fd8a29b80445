// A stand file of the user's simaddon folder, loaded as the park airport:
// its stands read, numbered and linked to their neighbours, then written
// back as a handmade learned file, which must read again.
#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "airports/apf_file.h"
#include "airports/loaded_park_airport.h"
#include "airports/park_airport.h"
#include "core/current_park_airport.h"
#include "core/paths.h"
#include "core/range_control.h"
#include "core/settings.h"
#include "core/user_error.h"
#include "refdata/dbase.h"
#include "support/fuzz_support.h"
#include "support/quiet_status.h"

namespace {

using namespace qvl;
using fuzz::expect;
namespace fs = std::filesystem;

fuzz::ScratchFolder& scratch() {
    static fuzz::ScratchFolder folder("stand_file");
    return folder;
}

const fs::path kStandFile = kMySimaddonFolder / "ZZZZ.xml";
const fs::path kWrittenBack = kAirportsFolder / "written.xml";

void expectSoundFlights(const Stand& stand) {
    std::uint32_t ordinal = 0;
    for (const LearnedFlight& flight : stand.flights) {
        expect(flight.day >= 1 && flight.day <= 7, "every flight has a day of the week");
        expect(flight.ordinal == ++ordinal, "flights are numbered 1, 2, 3 ... as kept");
        expect(flight.source == FlightSource::standFile, "a stand file's flights are the stand file's");
    }
}

void expectSoundNeighbours(const std::vector<Stand>& stands, const Stand& stand) {
    const auto& list = stand.neighbours;
    expect(std::is_sorted(list.begin(), list.end()), "neighbour lists are ascending");
    expect(std::adjacent_find(list.begin(), list.end()) == list.end(), "a neighbour is listed once");
    for (const std::uint32_t number : list) {
        expect(number >= 1 && number <= stands.size(), "a neighbour is a stand of the list");
        expect(number != stand.number, "no stand is its own neighbour");
        const auto& back = stands[number - 1].neighbours;
        expect(std::binary_search(back.begin(), back.end(), stand.number), "overlapping goes both ways");
    }
}

void expectSoundStands(const std::vector<Stand>& stands) {
    std::uint32_t number = 0;
    for (const Stand& stand : stands) {
        expect(stand.number == ++number, "stands are numbered 1, 2, 3 ... in list order");
        expect(std::isfinite(stand.latitude) && std::fabs(stand.latitude) <= 90.0, "a latitude on the globe");
        expect(std::isfinite(stand.longitude) && std::fabs(stand.longitude) <= 180.0, "a longitude on the globe");
        expect(!stand.id.empty(), "every stand has an id");
        expectSoundFlights(stand);
        expectSoundNeighbours(stands, stand);
    }
}

// What the program writes of the stands it must read again, without error
// and without more stands than it wrote.
void expectWrittenBackReadable(const LoadedParkAirport& park) {
    const ApfRecord record{.icao = FixedCode4("ZZZZ"), .stands = park.parkStands};
    expect(gf_saveApf(record, kWrittenBack, {.mode = ApfMode::learned, .simNumber = 1, .handmade = true}),
           "the stands can be written");
    pugi::xml_document document;
    expect(static_cast<bool>(document.load_file(kWrittenBack.c_str())), "the written file parses");
    std::vector<Stand> again;
    try {
        lf_checkStands(document, again);
    } catch (const UserErrorException& e) {
        // Ids that differed only in tabs or line breaks come back alike:
        // XML attribute values turn both into blanks.
        expect(e.code() == kRepeatedStandIdCode, "written ids are never missing or empty");
        return;
    }
    expect(again.size() <= park.parkStands.size(), "no stand appears that was not written");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("QVL_ROAMING_DIR", (scratch().path() / "roaming").c_str(), 1);
    const fuzz::InFolder inScratch(scratch().path());
    fs::create_directories(kMySimaddonFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::InFolder inScratch(scratch().path());
    fuzz::resetAllSettings();
    resetDbaseTables();  // the code tables too, so a long run never fills them
    fuzz::writeBytes(kStandFile, fuzz::bytesOf(data, size));

    fuzz::QuietStatus status;
    LoadedParkAirport park{status};
    CurrentParkAirportState parkAirport;
    const RunState run;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    const ApfLoadResult result = gf_readApf({.pathText = kStandFile.string(), .icao = FixedCode4("ZZZZ")}, park,
                                            {.parkAirport = parkAirport, .range = range, .status = status, .run = run});
    if (!result) {
        expect(park.parkStands.empty(), "a load that did not succeed leaves no stands");
        return 0;
    }
    expect(parkAirport.standsLoaded(), "a successful load is marked loaded");
    expect(parkAirport.referenceElevation().has_value(), "a successful load sets the reference elevation");
    expect(!park.parkStands.empty(), "an empty result means stands were found");
    expectSoundStands(park.parkStands);
    expectWrittenBackReadable(park);
    return 0;
}
