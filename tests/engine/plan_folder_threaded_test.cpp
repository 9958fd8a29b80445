// The flight-plan folder at the end and the start of a run: the end waits
// neither for the plans still waiting nor for the disk file by file, and a
// start removes what earlier runs left, and nothing else.
#include <gtest/gtest.h>

#include <stdlib.h>  // setenv, unsetenv

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "engine/flight_plans.h"
#include "support/gated_files.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kBound = 10s;

// A program whose roaming application data lies in the test's folder.
class PlanFolderThreaded : public ::testing::Test {
protected:
    PlanFolderThreaded() { ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1); }
    ~PlanFolderThreaded() override { ::unsetenv("QVL_ROAMING_DIR"); }

    static FlightRec route(const char* destination) {
        FlightRec flight;
        flight.origin = FixedCode3("FRA");
        flight.destination = FixedCode3(destination);
        return flight;
    }
    static void writePlans(const fs::path& folder, std::uint32_t count) {
        fs::create_directories(folder);
        for (std::uint32_t id = 1; id <= count; ++id) writeFile(folder / fmt::format("{}.pln", id), "an old plan\n");
    }
    static std::vector<std::string> namesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::size_t passedCount(const std::string& kind) const {
        const std::vector<std::string> passed = files->passed();
        return static_cast<std::size_t>(
            std::count_if(passed.begin(), passed.end(), [&](const std::string& p) { return p.starts_with(kind); }));
    }
    // The run starts and writes the plan of object 7; both writers then finish.
    void startAndWriteOnePlan() {
        plans.startRun();
        plans.write(7, route("LHR"));
        ASSERT_TRUE(plans.drain(kBound));
        ASSERT_TRUE(plans.drainRemovals(kBound));
    }
    bool logHas(const std::string& text) const { return logCapture.text().find(text) != std::string::npos; }

    TempDir dir;
    LogCapture logCapture{dir.path()};
    const fs::path product = dir / "roaming" / "Quorvelant";
    const fs::path planFolder = product / "orig_dest";
    const fs::path ended = product / "orig_dest-ended";
    std::shared_ptr<GatedFiles> files = std::make_shared<GatedFiles>();
    FlightPlanFolder folder;
    FolderFlightPlans plans{folder, files};
};

TEST_F(PlanFolderThreaded, AnEndOnAStalledDiskWaitsForNoWaitingPlanNorForTheFolderAndLeavesNoPlanOnceItAnswers) {
    ASSERT_TRUE(gf_createFlightPlanFolder(folder));
    plans.startRun();
    for (std::uint32_t id = 1; id <= 20; ++id) plans.write(id, route("LHR"));
    ASSERT_TRUE(plans.drain(kBound));
    ASSERT_EQ(namesIn(planFolder).size(), 20U);
    const std::size_t passedBefore = files->passed().size();

    // The disk stalls with 500 aircraft's plans still to write.
    files->close();
    for (std::uint32_t id = 100; id < 600; ++id) plans.write(id, route("JFK"));
    ASSERT_TRUE(files->waitForWaiter());
    std::future<void> end = std::async(std::launch::async, [this] { plans.endRun(); });
    // Its own work is one rename and a brief wait for the job under way;
    // working off the queue would stall it for the writer's whole bound.
    if (end.wait_for(FileWriter::kCloseBound * 3 / 4) != std::future_status::ready) {
        files->open();
        FAIL() << "the end waited for the stalled disk";
    }
    // The end came back while the disk answered nothing: no plan job and no
    // removal has passed, and the folder is aside all the same.
    EXPECT_EQ(files->passed().size(), passedBefore);
    EXPECT_FALSE(fs::exists(planFolder));
    ASSERT_TRUE(fs::is_directory(ended));
    EXPECT_EQ(namesIn(ended).size(), 20U);

    files->open();
    ASSERT_TRUE(plans.drainRemovals(kBound));
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_FALSE(fs::exists(planFolder));
    // Of the 500 waiting plans only the one under way reached the disk, and
    // that found its folder gone.
    for (int i = 0; i < 1000 && passedCount("write ") == 20; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(passedCount("write "), 21U);
    EXPECT_EQ(passedCount("remove "), 21U) << "the 20 plans and their folder, one operation each";
    EXPECT_FALSE(fs::exists(planFolder));
    EXPECT_FALSE(logHas("gf_removeFlightPlanFolder:"));
}

TEST_F(PlanFolderThreaded, TheProgramsEndStopsTheRemovalAfterTheEntryUnderWayAndTheNextStartEndsIt) {
    ASSERT_TRUE(gf_createFlightPlanFolder(folder));
    writePlans(planFolder, 30);
    auto ending = std::make_unique<FolderFlightPlans>(folder, files);
    files->close();
    ending->endRun();
    ASSERT_TRUE(files->waitForWaiter());
    // The process ends while the removal waits for the disk.
    std::future<void> end = std::async(std::launch::async, [&ending] { ending.reset(); });
    ASSERT_EQ(end.wait_for(kBound), std::future_status::ready);
    files->open();
    // Left to run on, the removal would have taken the rest by now.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(passedCount("remove "), 1U);
    EXPECT_EQ(namesIn(ended).size(), 29U);

    ASSERT_TRUE(gf_createFlightPlanFolder(folder));
    plans.startRun();
    ASSERT_TRUE(plans.drainRemovals(kBound));
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_TRUE(namesIn(planFolder).empty());
}

TEST_F(PlanFolderThreaded, AStartRemovesWhatEarlierRunsLeftAndNothingElse) {
    // A run killed with its plans, an entry that leads out of the folder, an
    // earlier end whose removal the program's end cut short, and the user's
    // own files beside them.
    writePlans(planFolder, 50);
    writePlans(dir / "elsewhere", 1);
    fs::create_directory_symlink(dir / "elsewhere", planFolder / "link");
    writePlans(ended / "3", 2);
    writePlans(ended, 1);
    writeFile(product / "orig_dest-ended.txt", "the user's\n");
    writePlans(product / "orig_dest-old", 1);

    ASSERT_TRUE(gf_createFlightPlanFolder(folder));
    EXPECT_TRUE(namesIn(planFolder).empty()) << "the earlier plans are aside before this run writes";
    ASSERT_NO_FATAL_FAILURE(startAndWriteOnePlan());

    EXPECT_EQ(namesIn(planFolder), std::vector<std::string>{"7.pln"});
    EXPECT_NE(readFile(planFolder / "7.pln").find("LHR"), std::string::npos);
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_TRUE(fs::exists(dir / "elsewhere" / "1.pln")) << "a link is removed, never followed";
    EXPECT_TRUE(fs::exists(product / "orig_dest-ended.txt"));
    EXPECT_TRUE(fs::exists(product / "orig_dest-old" / "1.pln"));
}

TEST_F(PlanFolderThreaded, PlansThatCannotBeMovedAsideGoBeforeTheRunsFirstPlan) {
    writePlans(planFolder, 8);
    // No folder of ours: nothing is moved into it, and it stays.
    writeFile(ended, "the user's\n");

    ASSERT_TRUE(gf_createFlightPlanFolder(folder));
    EXPECT_TRUE(logHas("gf_createFlightPlanFolder: "));
    ASSERT_NO_FATAL_FAILURE(startAndWriteOnePlan());

    EXPECT_EQ(namesIn(planFolder), std::vector<std::string>{"7.pln"});
    EXPECT_NE(readFile(planFolder / "7.pln").find("LHR"), std::string::npos);
    EXPECT_EQ(readFile(ended), "the user's\n");
}

}  // namespace
}  // namespace qvl::test
