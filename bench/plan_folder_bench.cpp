// The flight-plan folder at the end of a run and at the next start, on a
// file layer that answers in 50 ms per operation, as a slow disk does.
//
// BM_PlanFolderClose: the program's parts with the run's 500 plans on disk
// and the loop's last file jobs still waiting on the plans' writer (300
// deletions of aircraft gone at the end and 200 plans of new ones). Timed:
// the close's plan step (close_step_ms), the end of the program's parts right
// after it, as when the process ends (parts_end_ms); then, in fresh parts, the
// next start's plan step (start_step_ms) and the removal that it leaves to
// its remover (removal_s). Counted: the plan files still aside when the
// process ended (plans_left_aside), the earlier plan files in the new run's
// folder once its start step is done (earlier_plans_in_new_folder) and the
// earlier plan files left anywhere once the removal is done
// (earlier_plans_left).
//
// BM_PlanFolderStartAfterKill: a run killed with 50 live aircraft left its
// plans in orig_dest; the same figures for the next start.
//
// The renames and the listings go to the disk as it is (two operations at
// the close); every write and deletion goes through the slow layer.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <stdlib.h>  // setenv, unsetenv: the program reads its folders from the environment

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "core/file_writer.h"
#include "engine/base/live_ac.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/headless_window.h"
#include "run/program.h"
#include "run/run_clock.h"
#include "support/silent_run_window.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The disk, each write and deletion answering after `delay`.
class SlowDisk final : public FileLayer {
public:
    explicit SlowDisk(std::chrono::milliseconds delay) : delay_(delay) {}
    std::error_code writeFile(const fs::path& file, std::string_view bytes) override {
        std::this_thread::sleep_for(delay_);
        return disk_.writeFile(file, bytes);
    }
    std::error_code replaceFile(const fs::path& file, std::string_view bytes) override {
        std::this_thread::sleep_for(delay_);
        return disk_.replaceFile(file, bytes);
    }
    std::error_code removeFile(const fs::path& file) override {
        std::this_thread::sleep_for(delay_);
        return disk_.removeFile(file);
    }

private:
    const std::chrono::milliseconds delay_;
    DiskFileLayer disk_;
};

// One program's parts over the slow disk, in a folder of their own.
struct Process {
    explicit Process(const std::shared_ptr<FileLayer>& files) : program(simulator, window, mainWindow, clock, files) {}
    sim::StandInSimulator simulator;
    test::SilentRunWindow window;
    ui::HeadlessWindow mainWindow;
    ManualRunClock clock;
    Program program;
};

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void writePlans(const fs::path& folder, std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t id = first; id < first + count; ++id) {
        test::writeFile(folder / fmt::format("{}.pln", id), "a plan of the earlier run\n");
    }
}

// Plan files in the folder's tree, whatever they are named.
std::size_t filesIn(const fs::path& folder) {
    std::error_code error;
    std::size_t count = 0;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_directory()) ++count;
    }
    return count;
}

// The next start's plan step and the removal it hands over, as counters.
void startAndRemove(benchmark::State& state, const std::shared_ptr<FileLayer>& disk, const fs::path& product) {
    Process next(disk);
    const auto start = Clock::now();
    next.program.control().startUp.createFlightPlanFolder();
    state.counters["start_step_ms"] = millisSince(start);
    state.counters["earlier_plans_in_new_folder"] = static_cast<double>(filesIn(product / "orig_dest"));
    const auto removal = Clock::now();
    const bool removed = next.program.parts().plans.drainRemovals(std::chrono::minutes(5));
    state.counters["removal_s"] = millisSince(removal) / 1000.0;
    state.counters["removal_done"] = removed ? 1 : 0;
    state.counters["earlier_plans_left"] =
        static_cast<double>(filesIn(product / "orig_dest") + filesIn(product / "orig_dest-ended"));
}

class ProgramFolder {
public:
    ProgramFolder() : previous_(fs::current_path()) {
        ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
        fs::create_directories(product);
        fs::current_path(dir.path());
    }
    ~ProgramFolder() {
        fs::current_path(previous_);
        ::unsetenv("QVL_ROAMING_DIR");
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    test::TempDir dir;
    const fs::path product = dir / "roaming" / "Quorvelant";

private:
    fs::path previous_;
};

void BM_PlanFolderClose(benchmark::State& state) {
    const auto live = static_cast<std::uint32_t>(state.range(0));
    const auto disk = std::make_shared<SlowDisk>(std::chrono::milliseconds(state.range(1)));
    for (auto _ : state) {
        const ProgramFolder folder;
        auto run = std::make_unique<Process>(disk);
        run->program.control().startUp.createFlightPlanFolder();
        FolderFlightPlans& plans = run->program.parts().plans;
        writePlans(folder.product / "orig_dest", 1, live);
        FlightRec flight;
        flight.origin = FixedCode3("FRA");
        flight.destination = FixedCode3("JFK");
        for (std::uint32_t id = 1; id <= live * 3 / 5; ++id) plans.remove(id);
        for (std::uint32_t id = live + 1; id <= live + live * 2 / 5; ++id) plans.write(id, flight);

        const auto close = Clock::now();
        run->program.control().closingDown.removeFlightPlanFolder();
        state.counters["close_step_ms"] = millisSince(close);
        // The process ends right after the close.
        const auto end = Clock::now();
        run.reset();
        state.counters["parts_end_ms"] = millisSince(end);
        state.counters["plans_left_aside"] = static_cast<double>(filesIn(folder.product / "orig_dest-ended"));
        startAndRemove(state, disk, folder.product);
    }
}

void BM_PlanFolderStartAfterKill(benchmark::State& state) {
    const auto disk = std::make_shared<SlowDisk>(std::chrono::milliseconds(state.range(1)));
    for (auto _ : state) {
        const ProgramFolder folder;
        fs::create_directories(folder.product / "orig_dest");
        writePlans(folder.product / "orig_dest", 1, static_cast<std::uint32_t>(state.range(0)));
        startAndRemove(state, disk, folder.product);
    }
}

BENCHMARK(BM_PlanFolderClose)
    ->ArgNames({"live", "ms_per_op"})
    ->Args({500, 50})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanFolderStartAfterKill)
    ->ArgNames({"live", "ms_per_op"})
    ->Args({50, 50})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qvl
