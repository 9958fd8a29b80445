// The scan's file tasks on the worker pool: a task owns what it touches, so
// one that hangs past the pool's end and the scan's end runs on safely.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <latch>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "core/task_pool.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/mtl_file.h"
#include "liveries/scan_findings.h"
#include "liveries/support/liveries_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kBound{100};
// Room for a slow machine under a sanitizer.
constexpr std::chrono::milliseconds kSlack{3000};

class ScanTasks : public test::LiveriesFolder {
protected:
    fs::path writeCfg(const fs::path& folder, const std::string& bytes) const {
        const fs::path cfg = folder_ / folder / "aircraft.cfg";
        fs::create_directories(cfg.parent_path());
        test::writeFile(cfg, bytes);
        return cfg;
    }

    // Submits a task that waits at `gate` before it reads its file, as a
    // task blocked on a file share would; its findings also go to `ended`.
    // `passStop` hands the pool's stop request on to the file task.
    template <typename FileTask>
    static void submitHangingTask(TaskPool<CfgFileFindings>& pool, FileTask fileTask, ScanTaskInput input,
                                  std::shared_ptr<std::latch> gate,
                                  std::shared_ptr<std::promise<CfgFileFindings>> ended, bool passStop) {
        ASSERT_TRUE(pool.submit([fileTask, input = std::move(input), gate, ended, passStop](std::stop_token stop) {
            gate->wait();
            CfgFileFindings findings = fileTask(input, passStop ? stop : std::stop_token{});
            ended->set_value(findings);
            return findings;
        }));
    }

    // The pool gives up on the task and ends within its bound; the scan
    // state goes next, then the task is let go.
    static void endPoolAndState(std::optional<TaskPool<CfgFileFindings>>& pool,
                                std::unique_ptr<LiveryScanState>& state) {
        EXPECT_THROW((void)pool->takeOldest(), TaskTimeoutError);
        const auto start = std::chrono::steady_clock::now();
        pool.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, kBound + kSlack) << "the pool ends within its bound";
        state.reset();
    }

    static CfgFileFindings awaited(std::future<CfgFileFindings>& future) {
        EXPECT_EQ(future.wait_for(30s), std::future_status::ready) << "the task ends once let go";
        return future.get();
    }
};

TEST_F(ScanTasks, AHungTaskRunsOnAfterThePoolAndTheScanStateEnded) {
    const fs::path cfg = writeCfg("pkg/A320",
                                  "[General]\nicao_type_designator=A320\n[fltsim.0]\ntitle=Late Lufthansa\n"
                                  "icao_airline=EZY\n[fltsim.1]\ntitle=Banned\nicao_airline=DLH\n");
    auto state = std::make_unique<LiveryScanState>();
    state->dontUseTitles.add("Banned");
    const auto gate = std::make_shared<std::latch>(1);
    const auto ended = std::make_shared<std::promise<CfgFileFindings>>();
    std::future<CfgFileFindings> result = ended->get_future();

    std::optional<TaskPool<CfgFileFindings>> pool(std::in_place, TaskPoolOptions{.workerCount = 2, .timeout = kBound});
    submitHangingTask(*pool, &lf_searchLiveriesinFile,
                      {.folderIndex = 3, .cfgPath = cfg, .dontUseTitles = state->dontUseTitles.snapshot()}, gate, ended,
                      false);
    endPoolAndState(pool, state);
    gate->count_down();

    // The whole file was read after the scan's end, into the task's own
    // findings: the don't-use titles it was given are still there.
    CfgFileFindings findings = awaited(result);
    ASSERT_EQ(findings.candidates.size(), 1U);
    EXPECT_EQ(findings.candidates[0].livery.title, "Late Lufthansa");
    EXPECT_EQ(findings.candidates[0].livery.folderIndex, 3);
    EXPECT_EQ(findings.candidates[0].livery.key.airlineId, airlineId("EZY"));
}

TEST_F(ScanTasks, ATaskLetGoAfterThePoolEndedGivesUpAfterItsRead) {
    const fs::path cfg =
        writeCfg("IVAO_MTL/SimObjects/Airplanes/IVAO_A320", "[fltsim.0]\ntitle=A320 DLH One\ntexture=A\n");
    fs::create_directories(cfg.parent_path() / "texture.A");
    auto state = std::make_unique<LiveryScanState>();
    const auto gate = std::make_shared<std::latch>(1);
    const auto ended = std::make_shared<std::promise<CfgFileFindings>>();
    std::future<CfgFileFindings> result = ended->get_future();

    std::optional<TaskPool<CfgFileFindings>> pool(std::in_place, TaskPoolOptions{.workerCount = 2, .timeout = kBound});
    submitHangingTask(*pool, &lf_searchLiveriesinIVAOFile,
                      {.folderIndex = 1, .cfgPath = cfg, .dontUseTitles = state->dontUseTitles.snapshot()}, gate, ended,
                      true);
    endPoolAndState(pool, state);
    gate->count_down();

    const CfgFileFindings findings = awaited(result);
    EXPECT_TRUE(findings.candidates.empty()) << "what the file says is of use to nobody now";
    EXPECT_TRUE(findings.problems.incompleteSections.empty());
}

}  // namespace
}  // namespace qvl
