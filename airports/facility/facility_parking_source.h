// Where the add-on airports scan gets an airport's stands when no BGL file
// gave them: the simulator's facility data. The scan sees only this small
// interface; FacilityDataReader implements it over the simulator's second
// connection, and tests put a fake in its place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "airports/stand.h"

namespace qvl {

// How one read ended. The caller decides by the outcome alone:
//   standsRead                 generate the airport's file from the record;
//   noStands, rejected         this airport gets no file, the scan goes on;
//   closing                    the run is ending: stop the scan's search;
//   connectFailed, requestFailed, timedOut, simulatorQuit
//                              the simulator cannot be asked: the scan ends
//                              with the user error "MSFS must be connected ..."
//                              (see endsScanForConnection).
enum class FacilityReadOutcome : std::uint8_t {
    standsRead,     // at least one stand or helipad; the record is filled
    noStands,       // a complete answer without stand or helipad; the record is filled
    rejected,       // the simulator refused this airport (its exception), or the code is not one
    closing,        // the run's closing flags were raised during the wait
    connectFailed,  // the connection could not be opened or its definition built
    requestFailed,  // the request was refused, or the connection broke during the wait
    timedOut,       // no facility item for the whole wait bound
    simulatorQuit,  // the simulator quit during the wait
};

// What a read gives back besides the record: its outcome and the lines it
// has for the scan log, in order (Log.txt lines it writes itself).
struct FacilityReadResult {
    FacilityReadOutcome outcome = FacilityReadOutcome::requestFailed;
    std::vector<std::string> scanLogLines{};
};

// The outcomes after which the simulator cannot answer for any airport, so
// the scan ends with its connection user error.
[[nodiscard]] constexpr bool endsScanForConnection(FacilityReadOutcome outcome) noexcept {
    return outcome == FacilityReadOutcome::connectFailed || outcome == FacilityReadOutcome::requestFailed ||
           outcome == FacilityReadOutcome::timedOut || outcome == FacilityReadOutcome::simulatorQuit;
}

class FacilityParkingSource {
public:
    virtual ~FacilityParkingSource() = default;

    // Reads the airport's facility data into `record` (code, name, altitude,
    // stands, filled flag) and sets `helipads` to the number of helipads
    // among the stands. The record and the count change only for the
    // outcomes standsRead and noStands. Never throws for the simulator's
    // answers; only the run thread calls it.
    [[nodiscard]] virtual FacilityReadResult readFacilityParking(std::string_view icao, ApfRecord& record,
                                                                 std::int32_t& helipads) = 0;
};

}  // namespace qvl
