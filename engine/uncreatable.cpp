#include "engine/uncreatable.h"

#include <string>

#include <fmt/format.h>

#include "core/log.h"
#include "core/messages.h"
#include "core/user_error.h"
#include "engine/base/engine.h"
#include "refdata/code_table.h"

namespace qvl {
namespace {

constexpr std::string_view kTooMany = "There are too many liveries that could not be created!";

}  // namespace

void gf_reportUncreatableLivery(Engine& engine, const FlightRec& flight) {
    if (!engine.run.isClosing()) {
        gf_showMessage(fmt::format("{} '{}' could not be created by your Sim!", flight.callsign, flight.liveryTitle),
                       MessageLogging::logged);
    }
    UncreatableLiveries& uncreatable = engine.state.uncreatable;
    uncreatable.dontUseTitles.insert(flight.liveryTitle);
    uncreatable.combinations.insert(
        fmt::format("{} {}", modelCodeOf(flight.key.modelId), airlineCodeOf(flight.key.airlineId)));
    if (uncreatable.dontUseTitles.size() >= kMaxUncreatableLiveries) {
        gf_log(fmt::format("\n{}Error 81, {}\n", "===> ", kTooMany));
        throw UserErrorException(kTooManyUncreatableCode, fmt::format("{}, see Log.txt", kTooMany));
    }
}

void gf_logNoMatchList(const EngineState& state) {
    if (state.noMatchList.empty()) return;
    gf_log("\nNo match found for:");
    for (const std::string& entry : state.noMatchList) gf_log(entry);
    gf_log("");
}

}  // namespace qvl
