// The window without a display: the control model, the program's painter run
// on a recording canvas, and a picture drawn on request (the painter's image
// with plain boxes for the controls). Tests drive it through the simulated
// user actions and read the model and the last paint.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/ui/window_core.h"

namespace qvl::ui {

struct HeadlessScreens {
    // Work areas of the screens, the main screen first.
    std::vector<Rect> workAreas{Rect{.left = 0, .top = 0, .right = 1920, .bottom = 1040}};
};

class HeadlessWindow final : public WindowCore {
public:
    explicit HeadlessWindow(HeadlessScreens screens = {});
    ~HeadlessWindow() override = default;

    BackEnd backEnd() const override { return BackEnd::Headless; }
    // The number of paints so far.
    int paintCount() const noexcept { return paints_.load(); }
    // Messages shown with showDialog, oldest first.
    std::vector<DialogSpec> dialogs() const;
    // The window as the picture of savePng would show it (UI thread: it
    // runs the program's painter).
    Image render();

private:
    bool viewOpen(const WindowSpec& spec) override;
    void viewShow() override {}
    void viewWait() override;
    void viewWake() override;
    void viewPoll() override {}
    void viewSyncControl(ControlHandle) override {}
    void viewRepaint() override;
    bool viewCapture(Image& out) override;
    void viewSetAlwaysOnTop(bool) override {}
    void viewDialog(const DialogSpec& dialog) override;
    std::vector<Rect> viewWorkAreas() const override { return screens_.workAreas; }

    const HeadlessScreens screens_;
    std::atomic<int> paints_{0};

    std::mutex wakeMutex_;  // a leaf: guards woken_
    std::condition_variable wakeUp_;
    bool woken_ = false;

    mutable std::mutex dialogMutex_;  // a leaf: guards dialogs_
    std::vector<DialogSpec> dialogs_;
};

// Draws the controls of the model as plain boxes, the way a picture of the
// headless window shows them.
void drawControls(Canvas& canvas, const std::vector<ControlState>& controls);

}  // namespace qvl::ui
