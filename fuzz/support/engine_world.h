// The engine as the engine's fuzz targets drive it: every part it works
// with, its own, with no livery, no callsign and no user aircraft.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "airports/loaded_park_airport.h"
#include "core/current_park_airport.h"
#include "core/range_control.h"
#include "core/run_state.h"
#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "engine/flight_plans.h"
#include "engine/stands/park_airport_stands.h"
#include "feed/feed_state.h"
#include "feed/traffic_queue.h"
#include "simlink/sim_state.h"
#include "support/quiet_status.h"

namespace qvl::fuzz {

// A traffic reader that saw no callsign.
class NoCallsigns final : public CallsignCollection {
public:
    void startCallsignCollection() override {}
    [[nodiscard]] std::set<std::string> takeCollectedCallsigns() override { return {}; }
};

// A livery service that matches nothing.
class NoLiveries final : public LiveryService {
public:
    void matchLiveAcLivery(FlightRec&) override {}
    bool matchStaticAcLivery(FlightRec&, bool) override { return false; }
    bool matchStaticAcLiveryOnStand(FlightRec&, std::string_view, bool) override { return false; }
    std::string_view registrationTitle(std::string_view) override { return {}; }
};

// Everything an engine works with, each part its own, with no livery, no
// callsign and no user aircraft.
struct EngineWorld {
    EngineState state;
    QuietStatus status;
    FeedState feed{status, {.realTrafficGone = [] {}}};
    TrafficQueue traffic;
    SimLinkState link;
    RunState run;
    CurrentParkAirportState parkAirport;
    RangeControl range{[] { return std::optional<AutoRangeInputs>{}; }};
    NoLiveries liveries;
    LoadedParkAirport park{status};
    ParkAirportStands stands{park};
    FlightPlanFolder planFolder;
    FolderFlightPlans plans{planFolder, std::make_shared<DiskFileLayer>()};
    NoCallsigns callsigns;
    Engine engine{
        makeEngine({.state = state,
                    .feed = feed,
                    .traffic = traffic,
                    .link = link,
                    .run = run,
                    .parkAirport = parkAirport,
                    .loadedPark = park,
                    .range = range,
                    .liveries = liveries,
                    .stands = stands,
                    .flightPlans = plans,
                    .status = status,
                    .callsigns = callsigns,
                    .userAircraft = {.read = [] { return UserAircraftBlock{}; }, .send = [](const UserState&) {}}})};
};

}  // namespace qvl::fuzz
