// What both window back ends share: the control model that answers reads from
// any thread, the queue of work for the UI thread, the quit state, and the
// guard that keeps exceptions inside the program's callbacks. A back end adds
// the view: opening, waiting, drawing and the widgets.
//
// Lock order: queueMutex_ and the model's mutex are leaves; neither is held
// while the other is taken or while program code runs.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ui/headless_controls.h"
#include "platform/ui/window.h"

namespace qvl::ui {

class WindowCore : public Window {
public:
    WindowCore() = default;
    ~WindowCore() override = default;
    WindowCore(const WindowCore&) = delete;
    WindowCore& operator=(const WindowCore&) = delete;

    bool open(const WindowSpec& spec, WindowEvents& events) final;
    int runMessageLoop() final;
    bool processPendingEvents() final;
    bool isUiThread() const final;

    void quit(int exitCode) final;
    bool quitRequested() const final;
    void postMessage(const ProgramMessage& message) final;
    void postTask(std::function<void()> task) final;
    void requestClose() final;
    void invalidate(const Rect& area) final;
    void invalidateAll() final;

    ControlHandle createControl(const ControlSpec& spec) final;
    void destroyControl(ControlHandle control) final;
    ControlSpec controlSpec(ControlHandle control) const final;

    Point position() const final;
    Rect workAreaNear(Point point) const final;
    void setAlwaysOnTop(bool onTop) final;
    bool isAlwaysOnTop() const final;

    std::vector<DrawOp> lastPaint() const final;
    void savePng(const std::filesystem::path& path, PngDone done) final;
    void showDialog(const DialogSpec& dialog) final;

    void simulateClick(std::uint16_t controlId) final;
    void simulateSelect(std::uint16_t controlId, int index) final;
    void simulateTyping(std::uint16_t controlId, std::string_view text) final;
    void simulateEnter(std::uint16_t controlId) final;

    // Controls: reads answer from the model, writes go to the model at once
    // and reach the widget on the UI thread.
    bool exists(ControlHandle control) const final;
    ControlHandle find(std::uint16_t controlId) const final;
    void resetContent(ControlHandle combo) final;
    void addString(ControlHandle combo, std::string_view item) final;
    void setCurrentSelection(ControlHandle combo, int index) final;
    int selectString(ControlHandle combo, std::string_view prefix) final;
    std::vector<std::string> items(ControlHandle combo) const final;
    int currentSelection(ControlHandle combo) const final;
    void setChecked(ControlHandle checkBox, bool checked) final;
    bool isChecked(ControlHandle checkBox) const final;
    void setText(ControlHandle control, std::string_view text) final;
    std::string text(ControlHandle control) const final;
    void setEnabled(ControlHandle control, bool enabled) final;
    bool isEnabled(ControlHandle control) const final;

    // The model, for the back end's widgets and for tests.
    const HeadlessControls& model() const noexcept { return model_; }

protected:
    // --- The view (UI thread unless said) -----------------------------------
    // Makes the real window; nothing shows yet. False when it cannot.
    virtual bool viewOpen(const WindowSpec& spec) = 0;
    virtual void viewShow() = 0;
    // Sleeps until `viewWake` or until the view has input of its own; a
    // bounded wait, so a missed wake costs a short delay at most.
    virtual void viewWait() = 0;
    // Any thread: ends a `viewWait` early.
    virtual void viewWake() = 0;
    // Lets the view handle its own pending input without waiting.
    virtual void viewPoll() = 0;
    // Brings the control's widget in line with the model: makes it when it
    // is missing, removes it when the model no longer has the control.
    virtual void viewSyncControl(ControlHandle control) = 0;
    // Paints now or makes the view paint soon (through `paint`).
    virtual void viewRepaint() = 0;
    // The window's pixels, controls included.
    virtual bool viewCapture(Image& out) = 0;
    virtual void viewSetAlwaysOnTop(bool onTop) = 0;
    virtual void viewDialog(const DialogSpec& dialog) = 0;
    // Any thread: the screens' work areas, first the main screen.
    virtual std::vector<Rect> viewWorkAreas() const = 0;

    // --- For the view ------------------------------------------------------
    // Runs the program's painter on the canvas and keeps what it drew.
    void paint(Canvas& canvas);
    // The user's own actions on the widgets (UI thread); queued as events.
    void userCommand(const Command& command);
    void userEditEnter(std::uint16_t controlId);
    void userClose();
    void userMoved(Point position);
    // The model as the user changes it through a widget (UI thread).
    HeadlessControls& mutableModel() noexcept { return model_; }
    const WindowSpec& spec() const noexcept { return spec_; }

private:
    using Task = std::function<void()>;

    void enqueue(Task task);
    // Runs every task queued so far; false when quit was requested meanwhile.
    bool drainQueue();
    void paintIfDue();
    void runGuarded(const Task& task) noexcept;
    void syncControl(ControlHandle control);
    void captureToPng(const std::filesystem::path& path, const PngDone& done);
    // The live control with that id when it is enabled and of one of the kinds.
    std::optional<ControlState> enabledControl(std::uint16_t controlId) const;

    HeadlessControls model_;
    WindowSpec spec_;
    WindowEvents* events_ = nullptr;  // UI thread only, after open
    std::atomic<std::thread::id> uiThread_{};
    std::atomic<bool> opened_{false};

    mutable std::mutex queueMutex_;  // a leaf: guards queue_, quitting_, exitCode_, lastPaint_, position_
    std::deque<Task> queue_;
    bool quitting_ = false;
    int exitCode_ = 0;
    std::vector<DrawOp> lastPaint_;
    Point position_;

    std::atomic<bool> quitFlag_{false};
    std::atomic<bool> paintDue_{false};
    std::atomic<bool> alwaysOnTop_{false};
};

// The work area of `areas` that is nearest to the point (the one holding it,
// else the one at the least distance); an empty rectangle when there are none.
Rect nearestWorkArea(const std::vector<Rect>& areas, Point point);

}  // namespace qvl::ui
