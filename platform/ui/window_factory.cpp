#include <memory>

#include "platform/ui/fltk_window.h"
#include "platform/ui/headless_window.h"
#include "platform/ui/window.h"

namespace qvl::ui {

bool displayAvailable() { return fltkDisplayAvailable(); }

std::unique_ptr<Window> makeWindow(BackEnd backEnd) {
    switch (backEnd) {
        case BackEnd::Headless: return std::make_unique<HeadlessWindow>();
        case BackEnd::Fltk: return displayAvailable() ? makeFltkWindow() : nullptr;
        case BackEnd::Automatic: break;
    }
    if (displayAvailable()) {
        if (std::unique_ptr<Window> window = makeFltkWindow()) return window;
    }
    return std::make_unique<HeadlessWindow>();
}

bool showStandaloneDialog(const DialogSpec& dialog) { return displayAvailable() && fltkStandaloneDialog(dialog); }

}  // namespace qvl::ui
