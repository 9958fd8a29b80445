// How far a position is from the nearest stand of an airport, read from the
// airport's stand file without touching the park airport's stands. The
// closest-airport search asks it when two airports compete.
//
// The search itself reads stand files, may fetch one from the site and looks
// for the user's add-on stand file: ClosestAirportSearch runs it on a thread
// of its own, so that the main loop never waits for the disk or the network.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/download.h"
#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/stoppable_task.h"
#include "refdata/airports.h"

namespace qvl {

// The stand file "airport.xml" that an archived airport is fetched into, in
// the working folder; it is gone again when the call returns. One call at a
// time uses it: a call given up may still be ending its download while the
// next one begins.
inline constexpr const char* kClosestStandTempFile = "airport.xml";

// Nautical miles from the position to the airport's nearest stand, with the
// stand's id in `standId`; 100.0 when no stand is found (`standId` is then
// left as it was). The stop ends the download of an archived stand file.
double gf_readDestApfForClosestStand(const FixedCode4& icao, const GeoPosition& position, std::string& standId,
                                     const DownloadStop& stop);

// What the closest-airport search found for a position on the ground.
struct ClosestAirportFindings {
    GeoPosition askedAt{};
    std::optional<AirportRec> airport;  // none: no airport within reach
    bool hasUserAddonApf = false;       // of that airport
    // The nearest stand of that airport when stand files were compared.
    std::string standId;
};

// The airport the position is at, its stands compared when two compete, and
// whether it has the user's stand file. Touches nothing of the program's
// state but the log; never throws.
[[nodiscard]] ClosestAirportFindings findClosestAirport(const GeoPosition& position, const DownloadStop& stop);

// One closest-airport question at a time on a thread of its own; the main
// loop asks and takes the answer on a later pass. A question given up is
// stopped (its download ends) and left to end on its own; the next one does
// not wait for it. Used by one thread.
class ClosestAirportSearch {
public:
    // True while a question is asked and its answer not taken.
    [[nodiscard]] bool asking() const { return question_.started(); }
    // True when the answer has come and waits to be taken.
    [[nodiscard]] bool answered() const { return question_.answered(); }
    // Starts the question for the position; one asked before is given up.
    void ask(const GeoPosition& position);
    // The answer once it has come; the question is then done.
    [[nodiscard]] std::optional<ClosestAirportFindings> take() { return question_.take(); }
    // A close: a download under way ends, and the question is answered soon.
    void stop() { question_.stop(); }
    // The question is not wanted any more: stopped and never taken.
    void forget() { question_.giveUp(); }
    // True when no question, asked or given up, still runs (an answer may
    // wait to be taken).
    [[nodiscard]] bool idle() { return question_.idle(); }

private:
    StoppableTask<ClosestAirportFindings> question_;
};

}  // namespace qvl
