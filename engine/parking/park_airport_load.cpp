// The park airport's stands: loading them, and the reserved stand, which
// the user keeps free for their own aircraft.
#include <fmt/format.h>

#include <exception>
#include <iterator>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/apf_resolution.h"
#include "airports/loaded_park_airport.h"
#include "airports/park_airport.h"
#include "airports/stand.h"
#include "core/current_park_airport.h"
#include "core/paths.h"
#include "core/result.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "engine/base/engine.h"
#include "engine/conflicts/static_conflicts.h"
#include "engine/parking/park_airports.h"
#include "engine/parking/park_stand_handover.h"
#include "engine/stands/stands.h"

namespace qvl {
namespace {

constexpr std::string_view kReadParkedFile = "lf_readParkedFile";

Stand* standNamed(LoadedParkAirport& park, std::string_view id) {
    if (id.empty()) return nullptr;
    for (Stand& stand : park.parkStands) {
        if (stand.id == id) return &stand;
    }
    return nullptr;
}

// The stand the user aircraft stands on; empty while it is not on the
// ground (flying over a stand is not standing on it).
std::string userStand(Engine& engine, const UserAircraftBlock& user) {
    if (!user.onGround.value_or(false)) return {};
    return gf_standNameAtPosition(engine, engine.state.userStandName, user.position(), true);
}

// Where a new entry goes: first, but behind the destination, which stays
// first until it is reached.
std::list<ParkAirport>::iterator newEntryPlace(std::list<ParkAirport>& list) {
    const std::string destination = DESTINATION.value();
    if (!destination.empty() && !list.empty() && list.front().icao.view() == destination) {
        return std::next(list.begin());
    }
    return list.begin();
}

// The stand the user stands on at the load becomes the airport's reserved
// stand; an airport the list lacks is added to it.
void keepUserStand(Engine& engine, const CurrentParkAirport& current) {
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (!user.onGround.has_value()) return;
    const std::string stand = userStand(engine, user);
    if (ParkAirport* entry = parkAirportEntry(engine, current.code)) {
        // Its entry is changed where it stands: a second entry would hide the
        // stand kept in the file and push the destination off the front.
        if (stand.empty() || stand == entry->reservedStand) return;
        entry->reservedStand = stand;
        saveParkAirport(engine, *entry);
        return;
    }
    std::list<ParkAirport>& list = engine.state.parking.parkAirports;
    ParkAirport entry{.reservedStand = stand, .position = current.position, .icao = current.code};
    saveParkAirport(engine, *list.insert(newEntryPlace(list), std::move(entry)));
}

void takeReservedStand(Engine& engine, const FixedCode4& icao) {
    ParkingDisplay& display = engine.state.parking.display;
    const ParkAirport* entry = parkAirportEntry(engine, icao);
    const Stand* stand = entry != nullptr ? standNamed(engine.loadedPark, entry->reservedStand) : nullptr;
    display.reservedStand = stand != nullptr ? stand->id : std::string{};
    display.reservedStandValid = stand != nullptr;
}

// The reserved stand of the re-read file differs from the one in use: the
// new one is taken. The text says so; it stays empty when nothing changed.
void takeChangedReservedStand(Engine& engine, std::string& text) {
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (!user.onGround.has_value() || engine.state.parking.update.busy()) return;
    const std::optional<CurrentParkAirport> current = engine.parkAirport.current();
    if (!current) return;
    const ParkAirport* entry = parkAirportEntry(engine, current->code);
    if (entry == nullptr || !userStand(engine, user).empty()) return;
    ParkingDisplay& display = engine.state.parking.display;
    if (entry->reservedStand.empty() || entry->reservedStand == display.reservedStand) return;
    text = fmt::format("reserved stand changed from '{}' to '{}'", display.reservedStand, entry->reservedStand);
    if (Stand* old = standNamed(engine.loadedPark, display.reservedStand)) old->blocked = false;
    display.reservedStand = entry->reservedStand;
    gf_clearReservedStand(engine, display.reservedStand);
    Stand* reserved = standNamed(engine.loadedPark, display.reservedStand);
    if (reserved != nullptr) reserved->blocked = true;
    display.reservedStandValid = reserved != nullptr;
    showParkingDisplay(engine);
}

// The park airport's stand file to read; none when the airport has none
// (the load says why).
std::optional<ApfLoadRequest> parkFileRequest(const Engine& engine) {
    const std::optional<CurrentParkAirport> current = engine.parkAirport.current();
    if (!current) return std::nullopt;
    std::string pathText;
    try {
        pathText = gf_apfPathFor(current->code);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (pathText.empty()) return std::nullopt;
    return ApfLoadRequest{.pathText = std::move(pathText), .icao = current->code};
}

}  // namespace

bool parkFilesReady(Engine& engine) {
    ApfFilesRead& read = engine.state.parking.parkFilesRead;
    if (engine.run.isClosing()) read.stop();
    const std::optional<ApfLoadRequest> request = parkFileRequest(engine);
    return !request || read.ready(*request);
}

bool leftWhileParkFilesRead(Engine& engine) {
    const UserAircraftBlock user = engine.clocks.userAircraft();
    if (user.zeroPosition()) return false;
    lf_updateParkAirportDistances(engine, user.position());
    lf_checkParkAirportInSight(engine, user);
    if (engine.parkAirport.current()) return false;
    ParkingState& parking = engine.state.parking;
    parking.loadPending = false;
    parking.parkFilesRead.forget();
    return true;
}

ApfLoadResult lf_readParkedFile(Engine& engine) {
    LoadedParkAirport& park = engine.loadedPark;
    gf_clearStands(park.parkStands);
    publishParkStands(engine);
    const std::optional<CurrentParkAirport> current = engine.parkAirport.current();
    if (!current) return fail(ApfLoadError::notFound, fmt::format("{} {} not found", kReadParkedFile, "?"));
    std::string pathText;
    try {
        pathText = gf_apfPathFor(current->code);
    } catch (const std::exception& e) {
        return fail(ApfLoadError::failed, fmt::format("{} {}: {}", kReadParkedFile, current->code.view(), e.what()));
    }
    if (pathText.empty()) {
        return fail(ApfLoadError::notFound, fmt::format("{} {} not found", kReadParkedFile, current->code.view()));
    }

    ParkingDisplay& display = engine.state.parking.display;
    display.airportName.clear();
    const ApfLoadRequest request{.pathText = pathText, .icao = current->code};
    const ParkAirportLinks links{
        .parkAirport = engine.parkAirport, .range = engine.range, .status = engine.status, .run = engine.run};
    // Read before off the main loop, or here when nothing read them.
    const std::optional<ApfFiles> files = engine.state.parking.parkFilesRead.take(request);
    ApfLoadResult loaded = files ? applyApfFiles(*files, park, links) : gf_readApf(request, park, links);
    if (!loaded) return loaded;
    // A name cached for the stands before would not be one of these.
    engine.state.userStandName.reset();
    publishParkStands(engine);
    keepUserStand(engine, *current);
    park.parkStands.shrink_to_fit();
    takeReservedStand(engine, current->code);
    display.airportName = park.header.airportName;
    park.learnedUpdates = 0;
    showParkingDisplay(engine);
    return {};
}

Result<std::string, ParkAirportsError> gf_checkParkAirports(Engine& engine, bool checkStand) {
    return checkReadParkAirports(engine, readParkAirportsFile(), checkStand);
}

Result<std::string, ParkAirportsError> checkReadParkAirports(Engine& engine, const ParkAirportsFile& read,
                                                             bool checkStand) {
    if (!takeParkAirportsFile(engine, read)) {
        return fail(ParkAirportsError::unknownAirport,
                    fmt::format("{} names an unknown airport", gf_pathToUtf8(kMyParkAirportsTxt)));
    }
    std::string text;
    if (checkStand) takeChangedReservedStand(engine, text);
    if (text.empty()) text = "park airports and stands are okay";
    return text;
}

void clearParkReservedStand(Engine& engine) {
    // The stand the user stood on after a new flight is taken over first:
    // the simulator client's thread has only handed it over.
    keepHandedOverUserStand(engine);
    const std::string stand = engine.state.parking.display.reservedStand;
    if (!stand.empty()) gf_clearReservedStand(engine, stand);
}

}  // namespace qvl
