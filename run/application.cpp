#include "run/application.h"

#include <fmt/format.h>

#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "core/log.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/time_text.h"
#include "platform/sys/ascii.h"
#include "platform/sys/single_instance.h"
#include "run/program.h"
#include "run/window/parking_controls.h"

namespace qvl {
namespace {

bool equalsIgnoringAsciiCase(const std::string& text, std::string_view other) {
    return text.size() == other.size() && sys::startsWithIgnoringAsciiCase(text, other);
}

// No exception leaves a task of the UI loop: it is logged instead.
void postSafely(UiLoop& loop, std::function<void()> task) {
    loop.post([task = std::move(task)] {
        try {
            task();
        } catch (const std::exception& e) {
            gf_logAttention(fmt::format("UI task exception: {}", e.what()));
        } catch (...) {
            gf_logAttention("UI task exception: unknown");
        }
    });
}

// What the run asks of the window; what must happen on the UI thread is
// queued to it.
class QueuedRunWindow final : public RunWindow {
public:
    QueuedRunWindow(UiLoop& loop, ApplicationWindow& window) : loop_(loop), window_(window) {}
    void setProgram(Program& program) { program_ = &program; }

    void postStartRun() override {
        postSafely(loop_, [this] { program_->startRun(); });
    }
    void postExit(std::int32_t exitCode) override {
        postSafely(loop_, [this, exitCode] {
            window_.savePosition();
            gf_log(gf_utcDateTimeText(std::time(nullptr)));
            loop_.quit(exitCode);
        });
    }
    void repaintStatus() override { state().requestRepaint(WindowRegion::statusPanel); }
    void repaintControls() override { state().requestRepaint(WindowRegion::controlsArea); }
    void setAlwaysOnTop(bool onTop) override {
        postSafely(loop_, [this, onTop] { window_.setAlwaysOnTop(onTop); });
    }
    void disableParkingControls() override { gf_disableParkingControls(flags(), state()); }
    void enableParkingControls() override { gf_enableParkingControls(flags(), state()); }
    void stepStaticParkingCountdown(std::int32_t secondsCounter) override {
        qvl::stepStaticParkingCountdown(flags(), state(), static_cast<std::uint32_t>(secondsCounter));
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

private:
    MainWindowState& state() { return program_->parts().windowState; }
    CommandFlags& flags() { return program_->parts().flags; }

    UiLoop& loop_;
    ApplicationWindow& window_;
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

std::int32_t gf_runApplication(const ApplicationParts& parts, const std::vector<std::string>& arguments) {
    const std::optional<bool> production = productionSwitch(arguments);
    if (!createProductFolder()) return 1;
    SteadyRunClock clock;
    QueuedRunWindow runWindow(parts.loop, parts.window);
    Program program(parts.simulator, runWindow, clock);
    runWindow.setProgram(program);
    ProgramParts& programParts = program.parts();
    if (!parts.window.create(std::string(kProductName), programParts.windowState, programParts.flags)) {
        gf_logAttention("initInstance failed");
        return 1;
    }
    if (production.value_or(false)) programParts.process.productionMode.store(true);
    parts.window.setCloseHandler([&] {
        // With no run thread alive there is nobody to close down: end now.
        if (!program.onClose()) parts.loop.quit(programParts.process.exitCode.load());
    });
    postSafely(parts.loop, [&program] { program.startRun(); });
    std::int32_t exitCode = parts.loop.run();
    if (!program.finish(kThreadJoinBound)) exitCode = 1;
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
        return 1;
    }
    const std::int32_t code = application(arguments);
    gf_flushLog();
    closeLog();
    return code;
}

}  // namespace qvl
