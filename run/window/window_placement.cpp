#include "run/window/window_placement.h"

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/parameters.h"
#include "core/paths.h"
#include "core/settings.h"

namespace qvl {
namespace fs = std::filesystem;
namespace {

constexpr int kEdgeMargin = 48;

// A value stuck at a limit of its setting means the position was never
// really known (the window was off every screen when it was saved).
void replaceLimitByDefault(RangeParameter& setting, std::int32_t defaultValue) {
    const std::int32_t value = setting.value();
    if (value != setting.minimum() && value != setting.maximum()) return;
    setting.set(setting.clamp(defaultValue));
    gf_saveIntParameter(setting);
}

// At least `low`, then at most `high`: with a work area narrower than the
// margins the upper edge wins, as the window's corner then at least stays
// left of (above) the far edge.
std::int32_t keepInside(std::int32_t value, int low, int high) {
    return std::min<std::int32_t>(std::max<std::int32_t>(value, low), high);
}

void readStoredPosition(const pugi::xml_document& document) {
    for (RangeParameter* setting : {&MAIN_WINDOW_X, &MAIN_WINDOW_Y}) {
        if (const auto value = gf_readIntParameterXml(document, setting->key())) {
            setting->set(setting->clamp(*value));
        }
    }
}

}  // namespace

void lf_placeWindowOnMonitor(std::int32_t defaultX, std::int32_t defaultY, const WorkAreaSource& workArea) {
    replaceLimitByDefault(MAIN_WINDOW_X, defaultX);
    replaceLimitByDefault(MAIN_WINDOW_Y, defaultY);
    const std::int32_t x = MAIN_WINDOW_X.value();
    const std::int32_t y = MAIN_WINDOW_Y.value();
    const WindowRect area = workArea({.x = x, .y = y});
    const std::int32_t newX = keepInside(x, area.left + kEdgeMargin, area.right - kEdgeMargin);
    const std::int32_t newY = keepInside(y, area.top + kEdgeMargin, area.bottom - kEdgeMargin);
    if (newX == x && newY == y) return;
    MAIN_WINDOW_X.set(MAIN_WINDOW_X.clamp(newX));
    MAIN_WINDOW_Y.set(MAIN_WINDOW_Y.clamp(newY));
    gf_saveIntParameter(MAIN_WINDOW_X);
    gf_saveIntParameter(MAIN_WINDOW_Y);
}

WindowPoint loadWindowPosition(const WorkAreaSource& workArea) {
    const fs::path file = parametersFile();
    std::error_code error;
    if (!fs::exists(file, error)) return {.x = MAIN_WINDOW_X.value(), .y = MAIN_WINDOW_Y.value()};
    pugi::xml_document document;
    std::ifstream in(file, std::ios::binary);
    // A file that cannot be used is left as it is: the settings are read
    // right after, and that read says it is damaged, keeps it and writes a
    // new one. Kept and removed here, it would be logged as merely missing;
    // a position saved into it would make it look whole.
    if (document.load(in) && holdsParameters(document)) {
        readStoredPosition(document);
        lf_placeWindowOnMonitor(MAIN_WINDOW_X.defaultValue(), MAIN_WINDOW_Y.defaultValue(), workArea);
    }
    return {.x = MAIN_WINDOW_X.value(), .y = MAIN_WINDOW_Y.value()};
}

}  // namespace qvl
