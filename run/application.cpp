#include "run/application.h"

#include <fmt/format.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stop_token>
#include <string_view>
#include <system_error>
#include <thread>

#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "core/threads_left_behind.h"
#include "core/time_text.h"
#include "platform/sys/ascii.h"
#include "platform/sys/file_io.h"
#include "platform/sys/single_instance.h"
#include "platform/ui/close_signals.h"
#include "run/program.h"
#include "run/window/main_window.h"
#include "run/window/parking_controls.h"

namespace qvl {
namespace {

constexpr std::chrono::milliseconds kPictureDelay{1500};
constexpr std::chrono::milliseconds kPictureInterval{2000};

bool equalsIgnoringAsciiCase(const std::string& text, std::string_view other) {
    return text.size() == other.size() && sys::startsWithIgnoringAsciiCase(text, other);
}

ui::ProgramMessage messageOf(AppWindowMessage id, std::uint64_t value = 0) {
    return {.id = static_cast<std::uint32_t>(id), .value = value};
}

// What the run asks of the window: posted to the UI thread or written into
// the window's state, never waiting for the UI thread.
class PostingRunWindow final : public RunWindow {
public:
    PostingRunWindow(ui::Window& window, CloseBound& closeBound) : window_(window), closeBound_(closeBound) {}
    void setProgram(Program& program) { program_ = &program; }

    void postStartRun() override { window_.postMessage(messageOf(AppWindowMessage::startRun)); }
    void postExit(std::int32_t exitCode) override {
        window_.postMessage(messageOf(AppWindowMessage::saveAndQuit, static_cast<std::uint32_t>(exitCode)));
    }
    void repaint(WindowRegion region) override { window_.invalidate(regionRect(region)); }
    void repaintStatus() override { repaint(WindowRegion::statusPanel); }
    void repaintControls() override { repaint(WindowRegion::controlsArea); }
    void setAlwaysOnTop(bool onTop) override { window_.setAlwaysOnTop(onTop); }
    void stepStaticParkingCountdown(std::int32_t secondsCounter, bool staticParkingActive) override {
        qvl::stepStaticParkingCountdown(
            program_->parts().status,
            {.secondsCounter = static_cast<std::uint32_t>(secondsCounter), .staticParkingActive = staticParkingActive});
    }
    void setFollowText(const std::string& text) override {
        state().setText(WindowText::followedAircraft, text);
        repaintControls();
    }
    void setStartingUp(bool startingUp) override {
        state().realTrafficNotStarted.store(startingUp);
        repaintStatus();
    }
    void resetRunTexts() override { state().reset(); }
    void closeTakenForRestart() override { closeBound_.withdraw(); }

private:
    MainWindowState& state() { return program_->parts().windowState; }

    ui::Window& window_;
    CloseBound& closeBound_;
    Program* program_ = nullptr;
};

bool createProductFolder() {
    std::error_code error;
    const std::filesystem::path folder = productFolder();
    if (std::filesystem::is_directory(folder, error)) return true;
    std::filesystem::create_directories(folder, error);
    if (!error) return true;
    gf_logAttention(fmt::format("Failed to create directory: {}", error.message()));
    return false;
}

// The port a variable names; the default when unset or no port.
std::uint16_t portOrDefault(const char* variable, const char* text, std::uint16_t fallback) {
    if (text == nullptr) return fallback;
    const std::string_view view(text);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (error == std::errc() && end == view.data() + view.size() && value >= 1 && value <= 65535) {
        return static_cast<std::uint16_t>(value);
    }
    gf_logAttention(fmt::format("{} '{}' names no port: {} is used", variable, view, fallback));
    return fallback;
}

// The window's own picture, when asked for: once the window has had time to
// show, and again every couple of seconds while the program runs, so that a
// script can take one that shows a later moment (traffic on the way). Each
// picture is written beside the file and renamed over it, so a reader never
// sees half a picture. Only a change of outcome is logged.
std::jthread pictureOnRequest(ui::Window& window) {
    const char* path = std::getenv(kWindowPngVariable);
    if (path == nullptr || *path == '\0') return {};
    const std::filesystem::path file = std::filesystem::path(path);  // narrow: the environment's code page
    std::filesystem::path part = file;
    part += ".part";
    return std::jthread([&window, file, part](const std::stop_token& stop) {
        // 0: none yet, 1: written, 2: not written; set on the UI thread.
        const auto lastOutcome = std::make_shared<std::atomic<int>>(0);
        auto due = std::chrono::steady_clock::now() + kPictureDelay;
        while (true) {
            while (!stop.stop_requested() && std::chrono::steady_clock::now() < due) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (stop.stop_requested()) return;
            window.savePng(part, [file, part, lastOutcome](bool captured) {
                const bool written = captured && sys::replaceFile(part, file);
                if (!written) {
                    std::error_code ignored;
                    std::filesystem::remove(part, ignored);
                }
                if (lastOutcome->exchange(written ? 1 : 2) == (written ? 1 : 2)) return;
                gf_logLineAndFlush(
                    fmt::format("Window picture {}: {}", written ? "written" : "NOT written", gf_pathToUtf8(file)));
            });
            due += kPictureInterval;
        }
    });
}

}  // namespace

std::optional<bool> productionSwitch(const std::vector<std::string>& arguments) {
    std::optional<bool> production;
    for (const std::string& argument : arguments) {
        if (equalsIgnoringAsciiCase(argument, "--production") || equalsIgnoringAsciiCase(argument, "/production")) {
            production = true;
        } else if (equalsIgnoringAsciiCase(argument, "--no-production") ||
                   equalsIgnoringAsciiCase(argument, "/no-production")) {
            production = false;
        }
    }
    return production;
}

ReaderPorts readerPortsFrom(const char* trafficText, const char* qnhText) {
    const ReaderPorts ports{.traffic = portOrDefault(kTrafficPortVariable, trafficText, kTrafficPort),
                            .qnh = portOrDefault(kQnhPortVariable, qnhText, kQnhPort)};
    if (ports.traffic != kTrafficPort || ports.qnh != kQnhPort) {
        gf_log(fmt::format("Reader ports set by the environment: traffic {}, QNH {}", ports.traffic, ports.qnh));
    }
    return ports;
}

std::int32_t gf_runApplication(const std::shared_ptr<ui::Window>& window, sim::SimLibrary& simulator,
                               const std::vector<std::string>& arguments, ReaderPorts ports) {
    SteadyRunClock clock;
    return gf_runApplication(window, simulator, arguments, ports, clock, std::make_shared<DiskFileLayer>());
}

std::int32_t gf_runApplication(const std::shared_ptr<ui::Window>& window, sim::SimLibrary& simulator,
                               const std::vector<std::string>& arguments, ReaderPorts ports, RunClock& clock,
                               std::shared_ptr<FileLayer> files) {
    CloseBound closeBound(kThreadJoinBound);
    return gf_runApplication(window, simulator, arguments, ports, clock, closeBound, std::move(files));
}

std::int32_t gf_runApplication(const std::shared_ptr<ui::Window>& window, sim::SimLibrary& simulator,
                               const std::vector<std::string>& arguments, ReaderPorts ports, RunClock& clock,
                               CloseBound& closeBound, std::shared_ptr<FileLayer> files) {
    const std::optional<bool> production = productionSwitch(arguments);
    if (!createProductFolder()) return 1;
    PostingRunWindow runWindow(*window, closeBound);
    Program program(simulator, runWindow, *window, clock, std::move(files));
    runWindow.setProgram(program);
    ProgramParts& parts = program.parts();
    parts.trafficPort = ports.traffic;
    parts.qnhPort = ports.qnh;
    MainWindow* mainWindow = nullptr;
    MainWindowHooks hooks;
    hooks.onClose = [&] {
        // The bound first: the run thread may never come to the close.
        closeBound.start();
        // With no run thread alive there is nobody to close down: end now.
        if (!program.onClose()) window->quit(parts.process.exitCode.load());
    };
    hooks.onMessage = [&](const ui::ProgramMessage& message) {
        if (message.id == static_cast<std::uint32_t>(AppWindowMessage::startRun)) {
            program.startRun();
        } else if (message.id == static_cast<std::uint32_t>(AppWindowMessage::saveAndQuit)) {
            mainWindow->saveWindowPosition();
            gf_log(gf_utcDateTimeText(std::time(nullptr)));
            window->quit(static_cast<int>(static_cast<std::int32_t>(message.value)));
        }
    };
    MainWindow main(window, parts.commandOwners, std::move(hooks));
    mainWindow = &main;
    if (!main.initInstance(kProductName)) {
        gf_logAttention("initInstance failed");
        return 1;
    }
    if (production.value_or(false)) parts.process.productionMode.store(true);
    const ui::CloseOnSignals signals(*window, [&closeBound] { closeBound.start(); });
    window->postMessage(messageOf(AppWindowMessage::startRun));
    std::jthread picture = pictureOnRequest(*window);
    const std::int32_t exitCode = window->runMessageLoop();
    // An end that no close asked for (a new flight, a new version) is bounded too.
    closeBound.start();
    // No more pictures of a window that is closing down.
    picture.request_stop();
    if (picture.joinable()) picture.join();
    program.finish(closeBound.left());
    // The window's position was the last save: what a damaged parameters.xml refused is counted now.
    logRefusedParameterSaves();
    return exitCode;
}

std::int32_t runProgram(const std::vector<std::string>& arguments,
                        const std::function<std::int32_t(const std::vector<std::string>&)>& application) {
    sys::SingleInstance instance(kInstanceName);
    if (!instance.acquired()) return -1;
    try {
        gf_openLog();
    } catch (const std::exception& e) {
        std::cerr << kProductName << ": " << e.what() << "\n";
        ui::showStandaloneDialog(
            {.caption = std::string(kProductShortName), .text = e.what(), .icon = ui::DialogIcon::Error});
        return 1;
    }
    const std::size_t alreadyLeft = threadsLeftBehind().size();
    const std::int32_t code = application(arguments);
    // A thread left behind may still use the log and the settings, which
    // static destructors would free under it.
    endIfAThreadWasLeftBehind(code, alreadyLeft);
    gf_flushLog();
    closeLog();
    return code;
}

}  // namespace qvl
