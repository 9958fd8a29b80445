// The FLTK back end.
#include <memory>

#include "platform/ui/fltk_window.h"

namespace qvl::ui {

std::unique_ptr<Window> makeFltkWindow() { return nullptr; }
bool fltkDisplayAvailable() { return false; }
bool fltkStandaloneDialog(const DialogSpec&) { return false; }

}  // namespace qvl::ui
