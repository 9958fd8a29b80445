// The in-memory records of an airport's parking positions: a stand with the
// flights learned there, and an airport (stand) file as the add-on airport
// scan builds it before writing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/fixed_code.h"
#include "core/half_hour_slots.h"
#include "refdata/dbase.h"

namespace qvl {

// Where a learned flight was read from.
enum class FlightSource : std::uint8_t {
    learned = 0,    // learned while running, or a manual stand's flight of a learned file
    standFile = 1,  // the airport's own stand file
};

// One flight once seen at a stand (an "opt" of a stand file).
struct LearnedFlight {
    // Airline, operator, model and cargo as code-table ids, laid out as a
    // livery key; the last byte is the has-value flag: 1 when the ids are the
    // reference database's record of the registration, 0 when they come from
    // the file's "airl" and "type" codes.
    DbaseKey ids{.marker = 0};
    std::string registration{};
    std::string callsign1{};  // "cs" up to its first ':'
    std::string callsign2{};  // "cs" after its first ':'
    HalfHourSlots hours{};
    // 1-based number of the flight within its stand. The engine sets it to 0
    // for a flight its last selection excluded.
    std::uint32_t ordinal = 0;
    std::uint32_t day = 0;  // 1..7
    FlightSource source = FlightSource::learned;
    bool real = true;  // false: a "soft" flight
    bool cpl = false;
    // Engine state, never stored.
    bool seenWhileParked = false;

    [[nodiscard]] bool hasDbaseIds() const noexcept { return ids.marker != 0; }
};

// Position and heading of a stand as files give them.
struct StandPlacement {
    double latitude = 0.0;   // degrees, north positive
    double longitude = 0.0;  // degrees, east positive
    double heading = 0.0;    // radians, clockwise from north
};

struct StandKind {
    std::uint16_t type = 0;  // the simulator's parking type; 0 carries the cargo and ramp flags
    bool cargo = false;
    bool ramp = false;
    bool heli = false;
};

// One parking position.
struct Stand {
    Stand() = default;
    // The radius comes in metres and is kept in nautical miles.
    Stand(std::string standId, std::vector<LearnedFlight> learned, const StandPlacement& placement, double radiusMetres,
          const StandKind& kind);

    std::vector<LearnedFlight> flights;
    std::string id{};
    // Numbers of the stands whose circles overlap this one, ascending.
    std::vector<std::uint32_t> neighbours;
    double latitude = 0.0;
    double longitude = 0.0;
    double heading = 0.0;  // radians
    double radius = 0.0;   // nautical miles
    // 1-based position in the park airport's stand list once loaded.
    std::uint32_t number = 0;
    std::uint16_t type = 0;
    bool manual = false;        // defined by hand in a learned file
    bool radiusChange = false;  // radius differs from the stand file
    bool cargoChange = false;   // cargo flag differs from the stand file
    // Engine state, never stored.
    bool taken = false;
    bool occupied = false;
    bool blocked = false;
    bool adjacent = false;
    bool learnedSize = false;
    bool cargo = false;
    bool ramp = false;
    bool heli = false;
};

// An airport file in memory, as the add-on airport scan and the learned-file
// save hand it to the writer.
struct ApfRecord {
    FixedCode4 icao{};
    bool filled = false;
    std::string airportName{};
    std::string bglPath{};
    std::string publisher{};
    std::string manufacturer{};
    std::string creator{};
    std::string title{};  // not written
    std::int32_t qfReal = 0;
    std::int32_t qfSoft = 0;
    std::int32_t altitude = 0;  // feet
    std::vector<Stand> stands{};
};

// Appends the stand, growing the list by half its size (at least one) when
// it is full; the stands already there are moved, never copied.
Stand& lf_emplaceStand(std::vector<Stand>& stands, Stand&& stand);

void gf_clearStands(std::vector<Stand>& stands);

// The flight's codes for log lines, fixed width: airline, ",operator",
// model, "." when the ids are the database's, "(C)" for cargo.
std::string flightCodeText(const DbaseKey& ids);

}  // namespace qvl
