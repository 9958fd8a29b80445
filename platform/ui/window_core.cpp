#include "platform/ui/window_core.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace qvl::ui {

bool WindowCore::open(const WindowSpec& spec, WindowEvents& events) {
    if (opened_.load()) return false;
    uiThread_.store(std::this_thread::get_id());
    spec_ = spec;
    {
        std::lock_guard lock(queueMutex_);
        position_ = spec.position;
    }
    if (!viewOpen(spec)) {
        uiThread_.store(std::thread::id{});
        return false;
    }
    events_ = &events;
    opened_.store(true);
    runGuarded([this] { events_->onCreate(*this); });
    // Controls made before the window was open have no widget yet.
    for (const ControlState& state : model_.states()) viewSyncControl(state.handle);
    viewShow();
    invalidateAll();
    return true;
}

int WindowCore::runMessageLoop() {
    while (processPendingEvents()) {
        viewWait();
    }
    std::lock_guard lock(queueMutex_);
    return exitCode_;
}

bool WindowCore::processPendingEvents() {
    if (!opened_.load() || quitFlag_.load()) return false;
    viewPoll();
    if (!drainQueue()) return false;
    paintIfDue();
    return !quitFlag_.load();
}

bool WindowCore::isUiThread() const { return uiThread_.load() == std::this_thread::get_id(); }

void WindowCore::quit(int exitCode) {
    {
        std::lock_guard lock(queueMutex_);
        if (quitting_) return;
        quitting_ = true;
        exitCode_ = exitCode;
    }
    quitFlag_.store(true);
    viewWake();
}

bool WindowCore::quitRequested() const { return quitFlag_.load(); }

void WindowCore::postMessage(const ProgramMessage& message) {
    enqueue([this, message] { events_->onMessage(message); });
}

void WindowCore::postTask(std::function<void()> task) {
    if (!task) return;
    enqueue(std::move(task));
}

void WindowCore::requestClose() { userClose(); }

void WindowCore::invalidate(const Rect& area) {
    if (area.empty()) return;
    invalidateAll();
}

void WindowCore::invalidateAll() {
    if (!paintDue_.exchange(true)) viewWake();
}

ControlHandle WindowCore::createControl(const ControlSpec& spec) {
    const ControlHandle handle = model_.create(spec);
    syncControl(handle);
    return handle;
}

void WindowCore::destroyControl(ControlHandle control) {
    if (!model_.exists(control)) return;
    model_.destroy(control);
    syncControl(control);
}

ControlSpec WindowCore::controlSpec(ControlHandle control) const {
    const std::optional<ControlState> state = model_.state(control);
    return state ? state->spec : ControlSpec{};
}

Point WindowCore::position() const {
    std::lock_guard lock(queueMutex_);
    return position_;
}

Rect WindowCore::workAreaNear(Point point) const { return nearestWorkArea(viewWorkAreas(), point); }

void WindowCore::setAlwaysOnTop(bool onTop) {
    alwaysOnTop_.store(onTop);
    enqueue([this, onTop] { viewSetAlwaysOnTop(onTop); });
}

bool WindowCore::isAlwaysOnTop() const { return alwaysOnTop_.load(); }

std::vector<DrawOp> WindowCore::lastPaint() const {
    std::lock_guard lock(queueMutex_);
    return lastPaint_;
}

void WindowCore::savePng(const std::filesystem::path& path, PngDone done) {
    if (isUiThread() && opened_.load()) {
        captureToPng(path, done);
        return;
    }
    enqueue([this, path, done = std::move(done)] { captureToPng(path, done); });
}

void WindowCore::showDialog(const DialogSpec& dialog) {
    enqueue([this, dialog] { viewDialog(dialog); });
}

void WindowCore::simulateClick(std::uint16_t controlId) {
    enqueue([this, controlId] {
        const std::optional<ControlState> control = enabledControl(controlId);
        if (!control) return;
        const ControlKind kind = control->spec.kind;
        if (kind == ControlKind::Button || kind == ControlKind::CheckBox) {
            events_->onCommand(Command{.controlId = controlId, .kind = CommandKind::Clicked});
        }
    });
}

void WindowCore::simulateSelect(std::uint16_t controlId, int index) {
    enqueue([this, controlId, index] {
        const std::optional<ControlState> control = enabledControl(controlId);
        if (!control || control->spec.kind != ControlKind::ComboBox) return;
        if (index < 0 || static_cast<std::size_t>(index) >= control->items.size()) return;
        model_.setCurrentSelection(control->handle, index);
        viewSyncControl(control->handle);
        events_->onCommand(Command{.controlId = controlId, .kind = CommandKind::SelectionChanged});
    });
}

void WindowCore::simulateTyping(std::uint16_t controlId, std::string_view text) {
    enqueue([this, controlId, typed = std::string(text)] {
        const std::optional<ControlState> control = enabledControl(controlId);
        if (!control || control->spec.kind != ControlKind::Edit) return;
        model_.setText(control->handle, typed);
        viewSyncControl(control->handle);
    });
}

void WindowCore::simulateEnter(std::uint16_t controlId) {
    enqueue([this, controlId] {
        const std::optional<ControlState> control = enabledControl(controlId);
        if (!control || control->spec.kind != ControlKind::Edit) return;
        events_->onEditEnter(controlId);
    });
}

bool WindowCore::exists(ControlHandle control) const { return model_.exists(control); }

ControlHandle WindowCore::find(std::uint16_t controlId) const { return model_.find(controlId); }

void WindowCore::resetContent(ControlHandle combo) {
    model_.resetContent(combo);
    syncControl(combo);
}

void WindowCore::addString(ControlHandle combo, std::string_view item) {
    model_.addString(combo, item);
    syncControl(combo);
}

void WindowCore::setCurrentSelection(ControlHandle combo, int index) {
    model_.setCurrentSelection(combo, index);
    syncControl(combo);
}

int WindowCore::selectString(ControlHandle combo, std::string_view prefix) {
    const int index = model_.selectString(combo, prefix);
    if (index != kNoSelection) syncControl(combo);
    return index;
}

std::vector<std::string> WindowCore::items(ControlHandle combo) const { return model_.items(combo); }

int WindowCore::currentSelection(ControlHandle combo) const { return model_.currentSelection(combo); }

void WindowCore::setChecked(ControlHandle checkBox, bool checked) {
    model_.setChecked(checkBox, checked);
    syncControl(checkBox);
}

bool WindowCore::isChecked(ControlHandle checkBox) const { return model_.isChecked(checkBox); }

void WindowCore::setText(ControlHandle control, std::string_view text) {
    model_.setText(control, text);
    syncControl(control);
}

std::string WindowCore::text(ControlHandle control) const { return model_.text(control); }

void WindowCore::setEnabled(ControlHandle control, bool enabled) {
    model_.setEnabled(control, enabled);
    syncControl(control);
}

bool WindowCore::isEnabled(ControlHandle control) const { return model_.isEnabled(control); }

void WindowCore::paint(Canvas& canvas) {
    RecordingCanvas recording;
    TeeCanvas both(canvas, recording);
    if (events_ != nullptr) runGuarded([this, &both] { events_->onPaint(both); });
    std::lock_guard lock(queueMutex_);
    lastPaint_ = recording.takeOps();
}

void WindowCore::userCommand(const Command& command) {
    enqueue([this, command] { events_->onCommand(command); });
}

void WindowCore::userEditEnter(std::uint16_t controlId) {
    enqueue([this, controlId] { events_->onEditEnter(controlId); });
}

void WindowCore::userClose() {
    enqueue([this] { events_->onClose(); });
}

void WindowCore::userMoved(Point position) {
    std::lock_guard lock(queueMutex_);
    position_ = position;
}

void WindowCore::enqueue(Task task) {
    {
        std::lock_guard lock(queueMutex_);
        if (quitting_) return;
        queue_.push_back(std::move(task));
    }
    viewWake();
}

bool WindowCore::drainQueue() {
    // Only what is queued now: a task that posts again runs on the next pass,
    // so a busy poster cannot keep the loop from painting or waiting.
    std::deque<Task> batch;
    {
        std::lock_guard lock(queueMutex_);
        batch.swap(queue_);
    }
    for (const Task& task : batch) {
        if (quitFlag_.load()) return false;
        runGuarded(task);
    }
    return !quitFlag_.load();
}

void WindowCore::paintIfDue() {
    if (paintDue_.exchange(false)) viewRepaint();
}

void WindowCore::runGuarded(const Task& task) noexcept {
    try {
        task();
    } catch (...) {
        if (events_ != nullptr) events_->onCallbackException(std::current_exception());
    }
}

void WindowCore::syncControl(ControlHandle control) {
    if (!opened_.load()) return;  // open() makes the widgets of earlier controls
    if (isUiThread()) {
        viewSyncControl(control);
        return;
    }
    enqueue([this, control] { viewSyncControl(control); });
}

void WindowCore::captureToPng(const std::filesystem::path& path, const PngDone& done) {
    Image image;
    const bool written = viewCapture(image) && writePng(path, image);
    if (done) runGuarded([&done, written] { done(written); });
}

std::optional<ControlState> WindowCore::enabledControl(std::uint16_t controlId) const {
    std::optional<ControlState> control = model_.state(model_.find(controlId));
    if (!control || !control->spec.enabled) return std::nullopt;
    return control;
}

Rect nearestWorkArea(const std::vector<Rect>& areas, Point point) {
    const Rect* nearest = nullptr;
    std::int64_t nearestDistance = std::numeric_limits<std::int64_t>::max();
    for (const Rect& area : areas) {
        if (area.contains(point)) return area;
        const std::int64_t dx = point.x < area.left     ? area.left - point.x
                                : point.x >= area.right ? point.x - area.right + 1
                                                        : 0;
        const std::int64_t dy = point.y < area.top       ? area.top - point.y
                                : point.y >= area.bottom ? point.y - area.bottom + 1
                                                         : 0;
        const std::int64_t distance = dx * dx + dy * dy;
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = &area;
        }
    }
    return nearest != nullptr ? *nearest : Rect{};
}

}  // namespace qvl::ui
