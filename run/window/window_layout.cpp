#include "run/window/window_layout.h"

namespace qvl {
namespace {

constexpr ChildControl combo(ControlBinding& binding, int x, int width, int listHeight) {
    return {.binding = &binding, .kind = ChildKind::comboBox, .x = x, .width = width, .listHeight = listHeight};
}
constexpr ChildControl edit(ControlBinding& binding, int x, int width) {
    return {.binding = &binding, .kind = ChildKind::edit, .x = x, .width = width};
}
constexpr ChildControl check(ControlBinding& binding, int x) {
    return {.binding = &binding, .kind = ChildKind::checkBox, .x = x, .width = kCheckBoxSize};
}
constexpr ChildControl button(ControlBinding& binding, int x, int width) {
    return {.binding = &binding, .kind = ChildKind::button, .x = x, .width = width};
}

// Built on first use: the settings are globals of another translation unit.
const std::array<ChildControl, 43>& table() {
    static const std::array<ChildControl, 43> controls{{
        combo(SIM_CHOICE, 5, 105, 80),
        edit(ALL_INSTALL_PATH, 111, 1200),
        check(SCAN_LIVERIES, 5),
        check(LIG_AUTOMATIC, 217),
        combo(AI_PACKAGE_SELECTOR, 323, 175, 300),
        check(LIG_PRIORITIZE, 536),
        check(ALWAYS_ON_TOP, 748),
        check(SCAN_AIRPORTS, 5),
        button(TBLO_ZIP_BUTTON, 217, 80),
        check(OBJECTID_LIST, 652),
        check(NAV_LIGHTS_WHILE_PARKED, 748),
        combo(MATCHING_DEPTH, 217, 40, 120),
        check(LIGHT_AIRCRAFT, 323),
        check(HELICOPTERS, 430),
        check(HIGH_PERF_AIRCRAFT, 536),
        check(AEROWINX, 652),
        check(GUID_CHANGES, 748),
        combo(RANGE, 217, 50, 200),
        check(AUTO_RANGE, 323),
        combo(AR_ABOVE_HEIGHT, 455, 70, 230),
        check(AIRBORNE_ONLY, 572),
        check(COLLISION_USER_GND, 217),
        check(COLLISION_USER_AIR, 323),
        check(COLLISION_LIVE_PARKED_GND, 430),
        edit(BLOCK_CALLSIGN, 107, 100),
        button(UNBLOCK_BUTTON, 223, 60),
        button(CS_TO_OID_BUTTON, 305, 60),
        combo(CALLSIGN_2_OBJECTID, 375, 100, 300),
        button(BLOCK_BUTTON, 576, 60),
        button(NOW_BUTTON, 111, 45),
        combo(MAX_PARK_SEL, 323, 55, 144),
        combo(MAX_LIVE_SEL, 536, 55, 144),
        edit(DESTINATION, 217, 50),
        combo(AIRP_RANGE, 353, 45, 144),
        combo(AIRP_HEIGHT, 566, 70, 230),
        check(STRAIGHT_PBS_ONLY, 652),
        check(INITIAL_LOAD_ONLY, 5),
        check(WEEK, 71),
        check(PARK_SOFT, 151),
        combo(parking_percentage, 323, 50, 200),
        combo(MAX_FIT_FL, 566, 60, 300),
        button(REREAD_BUTTON, 758, 90),
        button(FLUSH_STATIC_BUTTON, 758, 90),
    }};
    return controls;
}

}  // namespace

WindowRect regionRect(WindowRegion region) noexcept {
    switch (region) {
        case WindowRegion::statusPanel: return {0, 28, 880, 112};
        case WindowRegion::controlsArea: return {0, 112, 880, 392};
        case WindowRegion::parkingStats: return {0, 392, 880, 448};
        case WindowRegion::messageArea: return {0, 448, 881, 477};
        case WindowRegion::whole: break;
    }
    return {0, 0, kMainWindowWidth, kMainWindowHeight};
}

std::span<const ChildControl> mainWindowControls() { return table(); }

WindowRect childRect(const ChildControl& control) {
    const auto row = static_cast<int>(control.binding->rowY());
    switch (control.kind) {
        case ChildKind::comboBox: return {control.x, row - 5, control.x + control.width, row - 5 + control.listHeight};
        case ChildKind::edit: return {control.x, row, control.x + control.width, row + kEditHeight};
        case ChildKind::checkBox: return {control.x, row + 2, control.x + kCheckBoxSize, row + 2 + kCheckBoxSize};
        case ChildKind::button: break;
    }
    return {control.x, row, control.x + control.width, row + kButtonHeight};
}

}  // namespace qvl
