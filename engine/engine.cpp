#include "engine/engine.h"

#include "core/time_text.h"

namespace qvl {
namespace {

// Until connectUserAircraft there is no user aircraft: a zero position.
UserAircraftBlock noUserAircraft() { return UserAircraftBlock{}; }

}  // namespace

Engine makeEngine(const EngineParts& parts) {
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
                       .userAircraft = noUserAircraft},
            .sendUserState = {}};
}

void connectUserAircraft(Engine& engine, UserAircraftState& user, RealTrafficLink& realTraffic) {
    engine.clocks.userAircraft = [&user] { return user.block(); };
    engine.sendUserState = [&engine, &user, &realTraffic](const UserState& state) {
        realTraffic.sendUserPosition(state);
        gf_requestUserPosition(engine.link, engine.run, user);
    };
}

WeekTime Engine::weekTime() const {
    return WeekTime::fromPacked(clocks.weekTime ? clocks.weekTime() : gf_trafficDaySlot(feed.time));
}

}  // namespace qvl
