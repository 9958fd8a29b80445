// What one paint of the main window costs the UI thread: the program's
// painter on a recording canvas (the drawing calls alone) and into an image
// of the window's size (the pixels too), with a message on display.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <optional>

#include "core/messages.h"
#include "platform/ui/headless_window.h"
#include "platform/ui/image.h"
#include "run/window/edit_fields.h"
#include "run/window/main_window.h"
#include "run/window/window_layout.h"
#include "run/window/window_status.h"

namespace {

struct OpenWindow {
    OpenWindow() {
        main.initInstance("Quorvelant");
        qvl::gf_showMessage("Quorvelant will update static parking in 15 seconds ...", qvl::MessageLogging::notLogged);
    }
    std::shared_ptr<qvl::ui::HeadlessWindow> window = std::make_shared<qvl::ui::HeadlessWindow>();
    qvl::MainWindowState state{{.takeSourceValues = [](qvl::MainWindowState& /*state*/) {}}};
    qvl::CommandFlags flags;
    qvl::ParkingUpdate parkingUpdate;
    qvl::WindowStatus windowStatus{state, flags, parkingUpdate, *window, [](qvl::WindowRegion /*region*/) {}};
    qvl::RunState run;
    qvl::RangeControl range{[] { return std::optional<qvl::AutoRangeInputs>{}; }};
    qvl::FeedState feed{windowStatus, {.realTrafficGone = [] {}}};
    qvl::LiveryTables tables;
    std::atomic<qvl::SimVersion> sim{qvl::SimVersion::msfs2020};
    qvl::EditFields editFields{
        {.run = run,
         .flags = flags,
         .controls = *window,
         .simVersion = [this] { return sim.load(); },
         .airportPosition = [](const qvl::FixedCode4& /*code*/) { return std::optional<qvl::GeoPosition>{}; },
         .pushParkAirport = [](const qvl::FixedCode4& /*code*/, const qvl::GeoPosition& /*position*/) {}}};
    qvl::MainWindow main{window,
                         {.flags = flags,
                          .window = state,
                          .status = windowStatus,
                          .run = run,
                          .range = range,
                          .feed = feed,
                          .liveryTables = tables,
                          .simVersion = sim,
                          .staticParkingActive = [] { return false; },
                          .openTbloFolder = [] { return false; },
                          .editFields = editFields},
                         {.onClose = [] {}, .onMessage = [](const qvl::ui::ProgramMessage&) {}}};
};

void paintRecorded(benchmark::State& bench) {
    OpenWindow open;
    qvl::ui::RecordingCanvas canvas;
    for (auto _ : bench) {
        canvas.clear();
        open.main.onPaint(canvas);
        benchmark::DoNotOptimize(canvas.ops().size());
    }
}
BENCHMARK(paintRecorded);

void paintIntoImage(benchmark::State& bench) {
    OpenWindow open;
    qvl::ui::Image image(qvl::kMainWindowWidth, qvl::kMainWindowHeight);
    qvl::ui::ImageCanvas canvas(image);
    for (auto _ : bench) {
        open.main.onPaint(canvas);
        benchmark::DoNotOptimize(image.rgb().data());
    }
}
BENCHMARK(paintIntoImage);

}  // namespace
