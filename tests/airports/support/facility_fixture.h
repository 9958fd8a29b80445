// The facility-data reader against the stand-in simulator: a world with a
// few airports, a manual clock that the reader's pauses move on, and a hook
// that runs at every pause (to raise the closing flag or let the simulator
// quit in the middle of a wait).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/facility/facility_data_reader.h"
#include "platform/sim/stand_in.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl::test {

inline sim::FacilityParking parking(std::uint32_t number, std::int32_t type = 8, float biasX = 0.0f,
                                    float biasZ = 0.0f) {
    return {.type = type, .number = number, .heading = 90.0f, .radius = 20.0f, .biasX = biasX, .biasZ = biasZ};
}

inline sim::FacilityHelipad helipad(std::int32_t type, float width) {
    return {.latitude = 50.04, .longitude = 8.58, .heading = 180.0f, .width = width, .type = type};
}

inline sim::FacilityAirport airport(std::string icao, double latitude, double longitude, std::string name) {
    sim::FacilityAirport a;
    a.icao = std::move(icao);
    a.latitude = latitude;
    a.longitude = longitude;
    a.name = std::move(name);
    return a;
}

inline std::vector<std::string> standIds(const ApfRecord& record) {
    std::vector<std::string> ids;
    for (const Stand& s : record.stands) ids.push_back(s.id);
    return ids;
}

inline bool holdsLine(const std::vector<std::string>& lines, std::string_view part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

class FacilityFixture : public ::testing::Test {
protected:
    FacilityFixture() {
        config.airports = {airport("EDDF", 50.03, 8.57, "Frankfurt Main"), airport("EGLL", 51.47, -0.46, "Heathrow"),
                           airport("EMPT", 0.0, 0.0, "No stands")};
        config.airports[0].altitudeMetres = 111.0;
        config.airports[0].parkings = {parking(7), parking(7), parking(8), parking(7)};
        config.airports[0].helipads = {helipad(2, 20.0f)};
        config.airports[1].parkings = {parking(1)};
        config.airports[2].parkings = {parking(3, 12), parking(4, 13)};
    }

    void start() {
        sim = std::make_unique<sim::StandInSimulator>(config, clock);
        sim->keepTraceInMemory(true);
        reader =
            std::make_unique<FacilityDataReader>(*sim, run,
                                                 FacilityReaderTiming{.quietLimit = std::chrono::milliseconds(50),
                                                                      .clock = clock,
                                                                      .sleep = [this](std::chrono::milliseconds pause) {
                                                                          clock->advance(pause);
                                                                          ++pauses;
                                                                          if (atPause) atPause(pauses);
                                                                      }});
    }

    FacilityReadResult read(std::string_view icao) {
        record = ApfRecord{};
        helipads = -1;
        return reader->gf_readFacilityParking(icao, record, helipads);
    }

    std::size_t traced(std::string_view part) const {
        const auto lines = sim->traceLines();
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
    }

    TempDir dir;
    LogCapture log{dir.path()};
    sim::StandInConfig config;
    std::shared_ptr<sim::ManualSimClock> clock = std::make_shared<sim::ManualSimClock>();
    RunState run;
    std::unique_ptr<sim::StandInSimulator> sim;
    std::unique_ptr<FacilityDataReader> reader;
    int pauses = 0;
    std::function<void(int)> atPause;
    ApfRecord record;
    std::int32_t helipads = -1;
};

}  // namespace qvl::test
