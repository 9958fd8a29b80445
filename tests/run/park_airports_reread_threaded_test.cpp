// The window's "Re-read" of the park airports: their files are read on a
// thread of their own, and the loop's step takes the list in once they are.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/paths.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "run/program.h"
#include "run/program_steps.h"
#include "support/gated_files.h"
#include "support/program_start_folder.h"
#include "support/run_fakes.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;

class ParkAirportsReread : public ::testing::Test {
protected:
    ProgramStartFolder folder;
    sim::StandInSimulator simulator{sim::StandInConfig{}};
    RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    // The disk of the loop's files, behind a gate that is open unless a test closes it.
    std::shared_ptr<GatedFiles> files = std::make_shared<GatedFiles>();
    ProgramParts parts{simulator, window, mainWindow, files};
    ProgramParking parking{parts};
};

TEST_F(ParkAirportsReread, TheStepReturnsAtOnceAndTakesTheListInOnceTheFilesAreRead) {
    std::filesystem::create_directories(kMyParkAirportsTxt.parent_path());
    std::ofstream(kMyParkAirportsTxt) << "ZZZZ\n";
    EXPECT_FALSE(parking.checkParkAirports().has_value()) << "the first call only starts the read";

    std::optional<Result<std::string, ParkAirportsError>> checked;
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!checked && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(1ms);
        checked = parking.checkParkAirports();
    }
    ASSERT_TRUE(checked.has_value());
    // The file was read off the loop and taken in by the step.
    ASSERT_FALSE(checked->ok());
    EXPECT_EQ(checked->error(), ParkAirportsError::unknownAirport);

    // A new request reads the file anew.
    std::ofstream(kMyParkAirportsTxt) << "\n";
    EXPECT_FALSE(parking.checkParkAirports().has_value());
    checked.reset();
    while (!checked && std::chrono::steady_clock::now() < until + 10s) {
        std::this_thread::sleep_for(1ms);
        checked = parking.checkParkAirports();
    }
    ASSERT_TRUE(checked.has_value());
    EXPECT_TRUE(checked->ok());
}

TEST_F(ParkAirportsReread, AReReadAskedAfterASaveReadsWhatTheSaveWrote) {
    std::filesystem::create_directories(kMyParkAirportsTxt.parent_path());
    std::ofstream(kMyParkAirportsTxt) << "\n";
    files->close();
    // The destination goes into the file; the program knows no airports, so
    // a read that sees its line finds an unknown airport.
    parking.pushParkAirport(FixedCode4("ZZZZ"), GeoPosition{});
    ASSERT_TRUE(files->waitForWaiter());
    EXPECT_FALSE(parking.checkParkAirports().has_value());
    EXPECT_FALSE(parking.checkParkAirports().has_value()) << "the read waits behind the held save";
    files->open();

    std::optional<Result<std::string, ParkAirportsError>> checked;
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!checked && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(1ms);
        checked = parking.checkParkAirports();
    }
    ASSERT_TRUE(checked.has_value());
    ASSERT_FALSE(checked->ok()) << "the read did not see the saved line";
    EXPECT_EQ(checked->error(), ParkAirportsError::unknownAirport);
}

TEST_F(ParkAirportsReread, TheEndOfARunCompletesAPendingSave) {
    std::filesystem::create_directories(kMyParkAirportsTxt.parent_path());
    files->close();
    parking.pushParkAirport(FixedCode4("ZZZZ"), GeoPosition{});
    ASSERT_TRUE(files->waitForWaiter());
    ProgramClosingDown closing{parts};
    std::jthread opener([this] {
        std::this_thread::sleep_for(20ms);
        files->open();
    });
    closing.leaveParkAirport();
    // Left the park airport, the run has the save on disk.
    EXPECT_EQ(readFile(kMyParkAirportsTxt), "ZZZZ\n");
}

}  // namespace
}  // namespace qvl::test
