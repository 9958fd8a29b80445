// The park airports: the user's list of airports to fill with static parked
// aircraft (my_park_airports.txt and the my_thirdparty stand files), the
// choice of the current one from the user aircraft's position, leaving it,
// loading its stands and the stand it keeps free for the user.
#pragma once

#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "airports/park_airport.h"
#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/result.h"
#include "simlink/user_aircraft_block.h"

namespace qvl {

struct Engine;
struct ParkAirport;

// Rebuilds the park-airport list from my_park_airports.txt and the
// my_thirdparty folder; false when a line names an unknown airport (the
// other lines are used all the same).
bool lf_readMyParkAirports(Engine& engine);
// What lf_readMyParkAirports reads from disk: the file's lines and the stand
// files of the my_thirdparty folder. Touches nothing of the engine, so that
// it may be read on a thread of its own.
struct ParkAirportsFile {
    bool found = false;  // the file could be opened and read
    std::vector<std::string> lines;
    std::vector<std::filesystem::path> thirdPartyFiles;  // in name order
};
[[nodiscard]] ParkAirportsFile readParkAirportsFile();
// lf_readMyParkAirports with the file read before.
bool takeParkAirportsFile(Engine& engine, const ParkAirportsFile& read);
// Writes the list's first entry (its code and reserved stand) into
// my_park_airports.txt.
void gf_addParkAirport(Engine& engine);
// Hands the entry's line to the park airport's file writer, which writes it
// into my_park_airports.txt on its own thread: it replaces the line of the
// same airport (codes compared without case) or is added; the file is
// written back sorted, each line once, through a temporary file. The loop
// touches no disk here.
void saveParkAirport(Engine& engine, const ParkAirport& entry);
// readParkAirportsFile on the same writer, in its turn: a read asked after
// a save sees what the save wrote. The future breaks when the writer drops
// the job at its close.
[[nodiscard]] std::future<ParkAirportsFile> readParkAirportsFileInTurn(Engine& engine);
// The list's entry of the airport; nullptr when the list has none.
ParkAirport* parkAirportEntry(Engine& engine, const FixedCode4& icao);
// Puts the airport at the front of the list (the user's destination).
void gf_pushParkAirport(Engine& engine, const FixedCode4& icao, const GeoPosition& position);

// The distances of the list's airports from the user, nearest first unless
// a destination is set.
void lf_updateParkAirportDistances(Engine& engine, const GeoPosition& user);
// No park airport yet: takes the one the user aircraft stands at, or the
// nearest in sight while airborne, and asks for its stands to be loaded.
void lf_findParkAirport(Engine& engine, const UserAircraftBlock& user, bool first);
// The answer to the question which airport the user stands at, taken as
// soon as it has come: true when it chose the park airport. An answer that
// chooses none is left to the next step, which asks again.
bool takeGroundAnswerNow(Engine& engine);
// A park airport is current: leaves it when it is out of sight or another
// one is nearer (airborne only).
void lf_checkParkAirportInSight(Engine& engine, const UserAircraftBlock& user);
// Makes the airport of the airport list current; false when it is unknown.
bool lf_setParkAirport(Engine& engine, const FixedCode4& icao);
// The window shows the parking display as it stands.
void showParkingDisplay(Engine& engine);
// Disables the parking controls and starts collecting live callsigns.
void lf_startParkingUpdate(Engine& engine, bool showMessage);
// Loads the current park airport's stands.
ApfLoadResult lf_readParkedFile(Engine& engine);
// True once the park airport's files are read for lf_readParkedFile, or
// when it has none to read; starts their read off the main loop when none runs.
bool parkFilesReady(Engine& engine);
// While the park airport's files are read: leaves it, as the step would once
// it is loaded, when it is out of sight or another one is nearer (airborne
// only). Its load is then no longer pending and its read, a download as well,
// is stopped. True when it was left.
bool leftWhileParkFilesRead(Engine& engine);

enum class ParkAirportsError : std::uint8_t { unknownAirport };

// Re-reads the park airports (the window's "Re-read"); with checkStand a
// changed reserved stand is taken over. The text for the message line; an
// error when a line names an unknown airport (the reader has logged which).
Result<std::string, ParkAirportsError> gf_checkParkAirports(Engine& engine, bool checkStand);
// The same with the file read before.
Result<std::string, ParkAirportsError> checkReadParkAirports(Engine& engine, const ParkAirportsFile& read,
                                                             bool checkStand);
// The reserved stand is kept free: an aircraft standing on it goes.
void clearParkReservedStand(Engine& engine);

}  // namespace qvl
