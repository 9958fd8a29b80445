// The reader's wait on the real clock, ended from another thread: the window's
// close button, or the simulator quitting, while the simulator never sends
// the end of an airport's data.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "airports/facility/facility_data_reader.h"
#include "platform/sim/stand_in.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;

class FacilityReaderThreaded : public ::testing::Test {
protected:
    FacilityReaderThreaded() {
        sim::StandInConfig config;
        config.airports.resize(1);
        config.airports[0].icao = "EDDF";
        config.airports[0].parkings = {{.number = 1, .radius = 20.0f}};
        config.facilityNeverEnds = true;
        sim = std::make_unique<sim::StandInSimulator>(config);
    }

    // The read's outcome and how long it took; `meddle` runs on its own
    // thread 30 ms into the wait.
    template <class Meddle>
    std::pair<FacilityReadOutcome, std::chrono::steady_clock::duration> readWhile(Meddle meddle) {
        FacilityDataReader reader(*sim, run);  // the real bound of 30 s
        ApfRecord record;
        std::int32_t helipads = 0;
        const auto start = std::chrono::steady_clock::now();
        std::jthread other([&] {
            std::this_thread::sleep_for(30ms);
            meddle();
        });
        const auto result = reader.gf_readFacilityParking("EDDF", record, helipads);
        return {result.outcome, std::chrono::steady_clock::now() - start};
    }

    TempDir dir;
    LogCapture log{dir.path()};
    RunState run;
    std::unique_ptr<sim::StandInSimulator> sim;
};

TEST_F(FacilityReaderThreaded, TheCloseButtonEndsTheWait) {
    const auto [outcome, took] = readWhile([this] { run.closeRequested = true; });
    EXPECT_EQ(outcome, FacilityReadOutcome::closing);
    EXPECT_LT(took, 5s);
    EXPECT_EQ(sim->openConnectionCount(), 0u);
}

TEST_F(FacilityReaderThreaded, TheSimulatorQuittingEndsTheWait) {
    const auto [outcome, took] = readWhile([this] { sim->quit(); });
    EXPECT_EQ(outcome, FacilityReadOutcome::simulatorQuit);
    EXPECT_LT(took, 5s);
}

}  // namespace
}  // namespace qvl::test
