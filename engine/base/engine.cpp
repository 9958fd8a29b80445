#include "engine/base/engine.h"

#include <stdexcept>
#include <string>

#include "core/time_text.h"

namespace qvl {
namespace {

const EngineUserAircraft& required(const EngineUserAircraft& user) {
    std::string missing;
    if (!user.read) missing += " read";
    if (!user.send) missing += " send";
    if (!missing.empty()) throw std::invalid_argument("engine user aircraft not wired:" + missing);
    return user;
}

}  // namespace

Engine makeEngine(const EngineParts& parts) {
    const EngineUserAircraft& user = required(parts.userAircraft);
    return {.state = parts.state,
            .feed = parts.feed,
            .traffic = parts.traffic,
            .link = parts.link,
            .run = parts.run,
            .parkAirport = parts.parkAirport,
            .loadedPark = parts.loadedPark,
            .range = parts.range,
            .liveries = parts.liveries,
            .stands = parts.stands,
            .flightPlans = parts.flightPlans,
            .status = parts.status,
            .callsigns = parts.callsigns,
            .clocks = {.steadyNow = [] { return std::chrono::steady_clock::now(); },
                       .weekTime = {},
                       .userAircraft = user.read},
            .sendUserState = user.send};
}

EngineUserAircraft linkedUserAircraft(UserAircraftState& user, RealTrafficLink& realTraffic, SimLinkState& link,
                                      RunState& run) {
    return {.read = [&user] { return user.block(); },
            .send =
                [&user, &realTraffic, &link, &run](const UserState& state) {
                    realTraffic.sendUserPosition(state);
                    gf_requestUserPosition(link, run, user);
                }};
}

WeekTime Engine::weekTime() const {
    return WeekTime::fromPacked(clocks.weekTime ? clocks.weekTime() : gf_trafficDaySlot(feed.time));
}

}  // namespace qvl
