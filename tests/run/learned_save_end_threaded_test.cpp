// The end of a run with the learned file's save still under way: the end
// waits for it, within a bound, and goes on without a save that hangs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>

#include "airports/learned_saves.h"
#include "airports/loaded_park_airport.h"
#include "airports/stand.h"
#include "core/fixed_code.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "run/program.h"
#include "run/program_steps.h"
#include "support/gated_files.h"
#include "support/log_capture.h"
#include "support/program_start_folder.h"
#include "support/run_fakes.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

using namespace std::chrono_literals;

namespace fs = std::filesystem;

constexpr const char* kLearnedFile = "airports/learned/my_simaddon/EDDF.xml";

class LearnedSaveAtTheEnd : public ::testing::Test {
protected:
    LearnedSaveAtTheEnd() {
        // A park airport with its stands loaded, as a run leaves it.
        LoadedParkAirport& park = parts.loadedPark;
        park.icao = FixedCode4("EDDF");
        park.apfPathText = "airports/my_simaddon/EDDF.xml";
        park.header.publisher = "Test";
        park.parkStands.resize(1);
        park.parkStands[0].id = "A1";
        park.parkStands[0].number = 1;
        park.parkStands[0].manual = true;
        parts.parkAirport.setStandsLoaded(true);
    }
    // A save left behind ends here, in the test's folder, before it goes.
    ~LearnedSaveAtTheEnd() override {
        files->open();
        EXPECT_TRUE(waitForLearnedSave(kLearnedFile, 10s));
    }
    LearnedSaveAtTheEnd(const LearnedSaveAtTheEnd&) = delete;
    LearnedSaveAtTheEnd& operator=(const LearnedSaveAtTheEnd&) = delete;

    std::future<void> leaveAsTheEndDoes() {
        return std::async(std::launch::async, [this] { closingDown.leaveParkAirport(); });
    }
    [[nodiscard]] bool logHas(const std::string& text) const { return log.text().find(text) != std::string::npos; }

    ProgramStartFolder folder;
    LogCapture log{folder.dir.path()};
    std::shared_ptr<GatedFiles> files = std::make_shared<GatedFiles>();
    sim::StandInSimulator simulator{sim::StandInConfig{}};
    RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    ProgramParts parts{simulator, window, mainWindow, files};
    ProgramClosingDown closingDown{parts};
};

TEST_F(LearnedSaveAtTheEnd, TheEndOfARunWaitsForTheSaveItHandsOver) {
    files->close();
    std::future<void> leaving = leaveAsTheEndDoes();
    ASSERT_TRUE(files->waitForWaiter());
    // Held at the disk, the save holds the end.
    const bool endedWhileHeld = leaving.wait_for(200ms) == std::future_status::ready;
    files->open();
    ASSERT_EQ(leaving.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(endedWhileHeld);
    EXPECT_NE(readFile(kLearnedFile).find(R"(id="A1")"), std::string::npos) << readFile(kLearnedFile);
    EXPECT_TRUE(logHas(" 'airports/learned/my_simaddon/EDDF.xml' saved with 0 updates")) << log.text();
}

TEST_F(LearnedSaveAtTheEnd, ASaveThatNeverReturnsDoesNotHoldTheEndPastItsBound) {
    files->close();
    std::future<void> leaving = leaveAsTheEndDoes();
    ASSERT_TRUE(files->waitForWaiter());
    // The gate stays closed: the end goes on once its bound has passed.
    EXPECT_EQ(leaving.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(logHas("The learned file was not saved within")) << log.text();
    EXPECT_FALSE(fs::exists(kLearnedFile));
}

}  // namespace
}  // namespace qvl::test
