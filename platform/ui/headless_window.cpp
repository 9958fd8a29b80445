#include "platform/ui/headless_window.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

namespace qvl::ui {

namespace {

constexpr Colour kFace = Colour::rgb(240, 240, 240);
constexpr Colour kWhite = Colour::rgb(255, 255, 255);
constexpr Colour kBorder = Colour::rgb(122, 122, 122);
constexpr Colour kInk = Colour::rgb(0, 0, 0);
constexpr Colour kGreyInk = Colour::rgb(160, 160, 160);

// A wait that a lost wake-up cannot stretch for long.
constexpr auto kLongestWait = std::chrono::milliseconds(100);

void frame(Canvas& canvas, const Rect& box, Colour colour) {
    canvas.line({box.left, box.top}, {box.right - 1, box.top}, colour);
    canvas.line({box.right - 1, box.top}, {box.right - 1, box.bottom - 1}, colour);
    canvas.line({box.right - 1, box.bottom - 1}, {box.left, box.bottom - 1}, colour);
    canvas.line({box.left, box.bottom - 1}, {box.left, box.top}, colour);
}

Rect boxOf(const ControlSpec& spec) {
    const int height = spec.kind == ControlKind::ComboBox ? kComboBoxHeight : spec.height;
    return Rect{.left = spec.x, .top = spec.y, .right = spec.x + spec.width, .bottom = spec.y + height};
}

void drawControl(Canvas& canvas, const ControlState& control) {
    const ControlSpec& spec = control.spec;
    const Rect box = boxOf(spec);
    const Colour ink = spec.enabled ? kInk : kGreyInk;
    switch (spec.kind) {
        case ControlKind::Button:
            canvas.fill(box, kFace);
            frame(canvas, box, kBorder);
            canvas.text({box.left + 4, box.top + 3}, spec.text, ink);
            break;
        case ControlKind::Edit:
            canvas.fill(box, spec.enabled ? spec.background.value_or(kWhite) : kFace);
            frame(canvas, box, kBorder);
            canvas.text({box.left + 2, box.top + 1}, spec.text, ink);
            break;
        case ControlKind::CheckBox:
            canvas.fill(box, kWhite);
            frame(canvas, box, kBorder);
            if (spec.checked) {
                canvas.line({box.left + 2, box.top + 2}, {box.right - 2, box.bottom - 2}, ink);
                canvas.line({box.right - 3, box.top + 2}, {box.left + 1, box.bottom - 2}, ink);
            }
            break;
        case ControlKind::ComboBox: {
            canvas.fill(box, spec.enabled ? kWhite : kFace);
            frame(canvas, box, kBorder);
            const bool selected =
                control.selection >= 0 && static_cast<std::size_t>(control.selection) < control.items.size();
            if (selected) {
                canvas.text({box.left + 3, box.top + 4}, control.items[static_cast<std::size_t>(control.selection)],
                            ink);
            }
            break;
        }
    }
}

}  // namespace

HeadlessWindow::HeadlessWindow(HeadlessScreens screens) : screens_(std::move(screens)) {}

std::vector<DialogSpec> HeadlessWindow::dialogs() const {
    std::lock_guard lock(dialogMutex_);
    return dialogs_;
}

Image HeadlessWindow::render() {
    Image image(spec().width, spec().height);
    ImageCanvas canvas(image);
    paint(canvas);
    drawControls(canvas, model().states());
    return image;
}

bool HeadlessWindow::viewOpen(const WindowSpec& spec) { return spec.width > 0 && spec.height > 0; }

void HeadlessWindow::viewWait() {
    std::unique_lock lock(wakeMutex_);
    wakeUp_.wait_for(lock, kLongestWait, [this] { return woken_; });
    woken_ = false;
}

void HeadlessWindow::viewWake() {
    {
        std::lock_guard lock(wakeMutex_);
        woken_ = true;
    }
    wakeUp_.notify_one();
}

void HeadlessWindow::viewRepaint() {
    RecordingCanvas discard;
    paint(discard);
    paints_.fetch_add(1);
}

bool HeadlessWindow::viewCapture(Image& out) {
    out = render();
    return !out.empty();
}

void HeadlessWindow::viewDialog(const DialogSpec& dialog) {
    std::fprintf(stderr, "%s: %s\n", dialog.caption.c_str(), dialog.text.c_str());
    std::lock_guard lock(dialogMutex_);
    dialogs_.push_back(dialog);
}

void drawControls(Canvas& canvas, const std::vector<ControlState>& controls) {
    for (const ControlState& control : controls) drawControl(canvas, control);
}

}  // namespace qvl::ui
