#include "run/window/main_window.h"

#include <fmt/format.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "core/log.h"
#include "core/parameters.h"
#include "core/settings.h"
#include "run/window/commands.h"
#include "run/window/edit_fields.h"
#include "run/window/shell.h"
#include "run/window/status_panel.h"
#include "run/window/window_layout.h"
#include "run/window/window_placement.h"

namespace qvl {
namespace {

constexpr auto kReadyPoll = std::chrono::milliseconds(50);
constexpr int kReadyPolls = 20;  // a second

bool waitUntilReady(const MainWindowState& state) {
    for (int i = 0; i < kReadyPolls && !state.isReady(); ++i) std::this_thread::sleep_for(kReadyPoll);
    return state.isReady();
}

std::string describe(const std::exception_ptr& error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
    return "no exception";
}

// A window whose close button or messages reach nobody would hang or end the
// program silently: an unwired hook is a fault of the wiring, found here.
MainWindowHooks requireHooks(MainWindowHooks hooks) {
    std::string missing;
    if (!hooks.onClose) missing += " onClose";
    if (!hooks.onMessage) missing += " onMessage";
    if (!missing.empty()) throw std::logic_error("main window hooks not wired:" + missing);
    return hooks;
}

}  // namespace

void lf_createControls(ui::Window& window) {
    for (const ChildControl& child : mainWindowControls()) {
        ControlBinding& binding = *child.binding;
        switch (child.kind) {
            case ChildKind::comboBox: createComboBox(binding, window, child.x, child.width, child.listHeight); break;
            case ChildKind::edit:
                lf_createEdit(dynamic_cast<StringControlParameter&>(binding), window, child.x, child.width);
                break;
            case ChildKind::checkBox:
                lf_createCheckbox(dynamic_cast<BoolControlParameter&>(binding), window, child.x);
                break;
            case ChildKind::button:
                lf_createButton(dynamic_cast<CommandButton&>(binding), window, child.x, child.width);
                break;
        }
    }
    window.invalidate(regionRect(WindowRegion::controlsArea));
}

MainWindow::MainWindow(std::shared_ptr<ui::Window> window, WindowCommandOwners commands, MainWindowHooks hooks)
    : window_(std::move(window)),
      state_(commands.window),
      parkingUpdate_(commands.status.parkingUpdate()),
      commands_(std::move(commands), *window_),
      hooks_(requireHooks(std::move(hooks))) {}

MainWindow::~MainWindow() {
    // The state is not touched here: its owner may already have gone.
    for (const ChildControl& child : mainWindowControls()) child.binding->setControlHandle(ui::kNoControl);
}

bool MainWindow::initInstance(std::string_view title) {
    if (!waitUntilReady(state_)) return false;
    const WindowPoint at = loadWindowPosition([this](WindowPoint p) { return window_->workAreaNear({p.x, p.y}); });
    return window_->open(
        {.title = std::string(title), .position = {at.x, at.y}, .width = kMainWindowWidth, .height = kMainWindowHeight},
        *this);
}

void MainWindow::saveWindowPosition() {
    const std::int32_t oldX = MAIN_WINDOW_X.value();
    const std::int32_t oldY = MAIN_WINDOW_Y.value();
    const ui::Point at = window_->position();
    MAIN_WINDOW_X.set(MAIN_WINDOW_X.clamp(at.x));
    gf_saveIntParameter(MAIN_WINDOW_X);
    MAIN_WINDOW_Y.set(MAIN_WINDOW_Y.clamp(at.y));
    gf_saveIntParameter(MAIN_WINDOW_Y);
    lf_placeWindowOnMonitor(oldX, oldY, [this](WindowPoint p) { return window_->workAreaNear({p.x, p.y}); });
}

void MainWindow::onCreate(ui::Window& window) { lf_createControls(window); }

void MainWindow::onClose() { hooks_.onClose(); }

void MainWindow::onPaint(ui::Canvas& canvas) {
    state_.takeSourceValues();
    lf_paintWindow(canvas, state_, parkingUpdate_, *window_);
}

void MainWindow::onCommand(const ui::Command& command) {
    try {
        if (commands_.lf_HandleWMCOMMAND(command)) return;
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("{} exception {}", "lf_HandleWMCOMMAND", e.what()));
    }
    window_->invalidate(regionRect(WindowRegion::controlsArea));
}

void MainWindow::onEditEnter(std::uint16_t controlId) { commands_.onEditEnter(controlId); }

void MainWindow::onMessage(const ui::ProgramMessage& message) { hooks_.onMessage(message); }

void MainWindow::onCallbackException(const std::exception_ptr& error) noexcept {
    try {
        gf_logAttention(fmt::format("main window: exception {}", describe(error)));
    } catch (...) {
        // The log itself failed; the window goes on regardless.
    }
}

}  // namespace qvl
