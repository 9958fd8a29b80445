// The window layer's costs that the run pays: a post to the UI thread and its
// dispatch, a control write from the run thread while the UI loop runs, and
// one picture of the main window written as PNG.
#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/ui/headless_window.h"
#include "support/temp_dir.h"

namespace {

using namespace qvl::ui;

WindowSpec mainWindow() { return {.title = "Quorvelant", .position = {400, 20}, .width = 880, .height = 516}; }

// About what the main window paints: the panels, a grid and some sixty texts.
class Painter : public WindowEvents {
public:
    std::atomic<std::uint64_t> messages{0};
    void onCreate(Window& window) override {
        for (std::uint16_t i = 0; i < 43; ++i) {
            window.createControl({.kind = i % 4 == 0 ? ControlKind::ComboBox : ControlKind::CheckBox,
                                  .id = static_cast<std::uint16_t>(32770 + i),
                                  .x = 5 + (i % 8) * 106,
                                  .y = 119 + (i / 8) * 28,
                                  .width = 12,
                                  .height = 12});
        }
    }
    void onMessage(const ProgramMessage&) override { messages.fetch_add(1, std::memory_order_relaxed); }
    void onClose() override {}
    // Nothing here throws; a window that did would only be measured wrong.
    void onCallbackException(const std::exception_ptr& /*error*/) noexcept override {}
    void onPaint(Canvas& canvas) override {
        canvas.fill({.left = 0, .top = 0, .right = 880, .bottom = 112}, Colour{});
        canvas.fill({.left = 0, .top = 112, .right = 880, .bottom = 392}, Colour::fromBgr(0xFFCC99));
        canvas.fill({.left = 0, .top = 448, .right = 880, .bottom = 476}, Colour::fromBgr(0x32CD32));
        for (int y = 140; y <= 308; y += 28) canvas.line({0, y}, {642, y}, Colour{});
        for (int i = 0; i < 60; ++i) {
            canvas.text({5 + (i % 6) * 140, 35 + (i / 6) * 40}, "Scan for addon airports", Colour{});
        }
    }
};

void BM_PostAndDispatch(benchmark::State& state) {
    HeadlessWindow window;
    Painter painter;
    window.open(mainWindow(), painter);
    const auto batch = state.range(0);
    for (auto _ : state) {
        for (std::int64_t i = 0; i < batch; ++i) window.postMessage({.id = 0x8060});
        window.processPendingEvents();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PostAndDispatch)->Arg(1)->Arg(100);

void BM_ControlWriteWhileTheLoopRuns(benchmark::State& state) {
    HeadlessWindow window;
    Painter painter;
    std::atomic<bool> open{false};
    std::jthread ui([&] {
        window.open(mainWindow(), painter);
        open.store(true);
        window.runMessageLoop();
    });
    while (!open.load()) std::this_thread::yield();
    const ControlHandle combo = window.find(32770);
    int index = 0;
    window.addString(combo, "40");
    window.addString(combo, "80");
    for (auto _ : state) {
        window.setCurrentSelection(combo, index ^= 1);
        benchmark::DoNotOptimize(window.currentSelection(combo));
    }
    window.quit(0);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ControlWriteWhileTheLoopRuns)->UseRealTime();

void BM_PictureToPng(benchmark::State& state) {
    qvl::test::TempDir dir;
    HeadlessWindow window;
    Painter painter;
    window.open(mainWindow(), painter);
    for (auto _ : state) {
        bool written = false;
        window.savePng(dir / "window.png", [&written](bool ok) { written = ok; });
        if (!written) state.SkipWithError("not written");
    }
}
BENCHMARK(BM_PictureToPng)->Unit(benchmark::kMillisecond);

}  // namespace
