// The program's main window: one top-level window with child controls, a
// painter, and the window's own message loop on the UI thread.
//
// The thread that opens the window is its UI thread; the window's events
// (create, close, paint, command, Enter in an edit, the program's own posted
// messages and tasks) reach the program there, one at a time, in the order
// they happened. Every other call is safe from any thread: a call from
// another thread is queued to the UI thread and returns at once, and a read
// answers from the window's model of its controls without waiting for the UI
// thread. So a run thread may write a control's text while the user types
// elsewhere, and neither waits for the other.
//
// Two back ends: FLTK (a real window, the default when a display is there)
// and headless (the model alone, painting into a recording and an image; for
// tests and runs without a display). Both behave the same towards the
// program.
#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/canvas.h"
#include "platform/ui/controls.h"
#include "platform/ui/image.h"

namespace qvl::ui {

struct WindowSpec {
    std::string title{};
    // Top left corner of the window on the screen.
    Point position{};
    // The size of the area the program paints and places controls in; the
    // window cannot be resized by the user.
    int width = 0;
    int height = 0;
};

// What the user did to a control. A click on a check box does not change its
// mark: the program ticks it itself, so it may refuse a change.
enum class CommandKind : std::uint8_t {
    Clicked,           // a button or a check box
    SelectionChanged,  // the user picked an entry of a drop-down
};

struct Command {
    std::uint16_t controlId = 0;
    CommandKind kind = CommandKind::Clicked;
};

// One of the program's own messages, posted to the UI thread.
struct ProgramMessage {
    std::uint32_t id = 0;
    std::uint64_t value = 0;
};

class Window;

// The program's side of the window. Every function runs on the UI thread.
// Whatever a function throws is caught by the window and handed to
// `onCallbackException`; the loop goes on.
//
// What reaches every window, whatever it holds, must be answered: the close
// button, the paint and an exception that a callback let out. Left empty by
// default, a window could not be closed, would show nothing, or would lose
// its errors without a word. The others come only from what the program
// itself put into its window (child controls, its own posted messages), so a
// window without such things may leave them empty.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;

    // While the window opens, before it shows: create the child controls.
    // Empty by default: a window without child controls has nothing to make.
    virtual void onCreate(Window& /*window*/) {}
    // The close button, SIGINT, SIGTERM or `requestClose`. The window stays
    // open; the program ends the loop with `quit` when it is ready.
    virtual void onClose() = 0;
    // Paint the whole window; the child controls are drawn over it.
    virtual void onPaint(Canvas& canvas) = 0;
    // Empty by default: only the window's own child controls send commands.
    virtual void onCommand(const Command& /*command*/) {}
    // Enter was pressed in an edit; its text is in the control model. Empty
    // by default: only the window's own edits send it.
    virtual void onEditEnter(std::uint16_t /*controlId*/) {}
    // Empty by default: only the program's own `postMessage` sends one.
    virtual void onMessage(const ProgramMessage& /*message*/) {}
    // An exception left one of the functions above or a posted task.
    virtual void onCallbackException(const std::exception_ptr& error) noexcept = 0;
};

enum class BackEnd : std::uint8_t {
    Automatic,  // FLTK when a display can be opened, else headless
    Headless,
    Fltk,
};

enum class DialogIcon : std::uint8_t { Information, Warning, Error };

struct DialogSpec {
    std::string caption{};
    std::string text{};
    DialogIcon icon = DialogIcon::Warning;
};

// Done with a screenshot: true when the PNG file was written.
using PngDone = std::function<void(bool written)>;

class Window : public Controls {
public:
    // --- Life (UI thread) ---------------------------------------------------
    // Creates the window, calls `onCreate`, shows it and asks for a first
    // paint. The calling thread becomes the UI thread. False when the window
    // cannot be made (or is already open); `events` must outlive the window.
    virtual bool open(const WindowSpec& spec, WindowEvents& events) = 0;
    // Dispatches events until `quit`; returns its exit code. Events still
    // queued at the quit are dropped: once it has quit, the program expects
    // none of its callbacks any more.
    virtual int runMessageLoop() = 0;
    // Dispatches what is queued now (and a due paint) without waiting; for
    // callers that drive the window step by step. False once `quit` was called.
    virtual bool processPendingEvents() = 0;
    virtual bool isUiThread() const = 0;

    // --- From any thread ---------------------------------------------------
    // Ends the message loop with this exit code; the first quit counts.
    virtual void quit(int exitCode) = 0;
    virtual bool quitRequested() const = 0;
    virtual void postMessage(const ProgramMessage& message) = 0;
    virtual void postTask(std::function<void()> task) = 0;
    // As the window's close button: `onClose` on the UI thread.
    virtual void requestClose() = 0;
    // Asks for a paint; several requests before the paint make one.
    virtual void invalidate(const Rect& area) = 0;
    virtual void invalidateAll() = 0;

    // A new child control of this window; its handle is valid at once, the
    // widget follows on the UI thread.
    virtual ControlHandle createControl(const ControlSpec& spec) = 0;
    virtual void destroyControl(ControlHandle control) = 0;
    virtual ControlSpec controlSpec(ControlHandle control) const = 0;

    // The window's top left corner on the screen (where it was last moved).
    virtual Point position() const = 0;
    // The work area (screen minus panels) of the screen nearest to a point.
    virtual Rect workAreaNear(Point point) const = 0;
    virtual void setAlwaysOnTop(bool onTop) = 0;
    virtual bool isAlwaysOnTop() const = 0;

    // What the last paint drew (the program's painter only, not the controls).
    virtual std::vector<DrawOp> lastPaint() const = 0;
    // Writes the window's own pixels, controls included, to a PNG file. On
    // the UI thread it is done at once; from another thread it is queued.
    // `done` runs on the UI thread.
    virtual void savePng(const std::filesystem::path& path, PngDone done = {}) = 0;
    // A message box over the window that does not hold up the caller (the
    // headless back end writes it to stderr).
    virtual void showDialog(const DialogSpec& dialog) = 0;

    virtual BackEnd backEnd() const = 0;

    // --- The user, for tests and scripted runs -----------------------------
    // Each goes the same way as the user's own action (queued to the UI
    // thread); a disabled or unknown control ignores it.
    virtual void simulateClick(std::uint16_t controlId) = 0;
    virtual void simulateSelect(std::uint16_t controlId, int index) = 0;
    virtual void simulateTyping(std::uint16_t controlId, std::string_view text) = 0;
    virtual void simulateEnter(std::uint16_t controlId) = 0;
};

// True when a display is named and can be opened.
bool displayAvailable();

// A window of that back end; Automatic picks FLTK when a display is there.
// Asking for FLTK without a display gives nullptr.
std::unique_ptr<Window> makeWindow(BackEnd backEnd = BackEnd::Automatic);

// A message box before any window exists (e.g. the log cannot be opened):
// shown when a display is there and the user closes it; true when it was
// shown. Without a display it shows nothing and returns false.
bool showStandaloneDialog(const DialogSpec& dialog);

}  // namespace qvl::ui
