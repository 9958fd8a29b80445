// The FLTK back end as the factory sees it. In a build without FLTK these
// answer "no display".
#pragma once

#include <memory>

#include "platform/ui/window.h"

namespace qvl::ui {

std::unique_ptr<Window> makeFltkWindow();
bool fltkDisplayAvailable();
bool fltkStandaloneDialog(const DialogSpec& dialog);

}  // namespace qvl::ui
