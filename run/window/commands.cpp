#include "run/window/commands.h"

#include <fmt/format.h>

#include <gsl/narrow>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "run/window/edit_fields.h"
#include "run/window/parking_controls.h"

namespace qvl {
namespace {

// The restart delays of new settings: a scan starts sooner than a switch of
// simulators, which must wait for the old simulator's connection to go.
constexpr std::int32_t kScanRestartSeconds = 2;
constexpr std::int32_t kSwitchRestartSeconds = 3;
constexpr double kAirborneOnlyFeet = 150.0;

void say(const std::string& text) { gf_showMessage(text, MessageLogging::notLogged); }
void sayLogged(const std::string& text) { gf_showMessage(text, MessageLogging::logged); }

void repaintControls(const WindowCommandOwners& owners) { owners.status.repaint(WindowRegion::controlsArea); }

// A message when the box was ticked, a clear when it was unticked, or the
// other way round.
void sayWhenOn(bool on, const std::string& text) {
    if (on) {
        say(text);
    } else {
        gf_clearMessage();
    }
}
void sayWhenOff(bool on, const std::string& text) {
    if (on) {
        gf_clearMessage();
    } else {
        say(text);
    }
}

// A number drop-down's entry becomes its setting's value, within its
// limits, and is saved.
void takeRangeValue(RangeControlParameter& setting, int index) {
    const std::vector<std::int32_t>& values = setting.values();
    if (static_cast<std::size_t>(index) >= values.size()) return;
    setting.set(setting.clamp(values[static_cast<std::size_t>(index)]));
    gf_saveIntParameter(setting);
}

// The hours picked in MAX_FIT_FL become MAX_FIT's half hours (saved); the
// hours themselves are not stored.
void takeMaxFitHours(int index) {
    const std::vector<std::int32_t>& values = MAX_FIT_FL.values();
    if (static_cast<std::size_t>(index) >= values.size()) return;
    const float hours = FloatRangeControlParameter::fromBits(values[static_cast<std::size_t>(index)]);
    MAX_FIT_FL.setFloat(hours);
    const auto halfHours = gsl::narrow<std::int32_t>(std::lround(2.0 * static_cast<double>(hours)) - 1);
    MAX_FIT.set(MAX_FIT.clamp(halfHours));
    gf_saveIntParameter(MAX_FIT);
}

void scanLiveriesTurnedOn(const WindowCommandOwners& owners) {
    setControlEnabled(owners.status.controls(), AI_PACKAGE_SELECTOR, false);
    if (owners.feed.waitingForRealTraffic.load()) {
        // The tables belong to the run thread: the next start-up empties them
        // before it builds the catalogue from the new scan.
        gf_requestLiveryTablesClear(owners.liveryTables);
        owners.flags.liveriesProcessed.store(false);
        sayLogged("Your liveries will be scanned");
        owners.run.endRun(RestartReason::newSettings, kScanRestartSeconds);
    } else {
        say(fmt::format("Your liveries will be scanned at the next start of {}", kProductName));
    }
}

void scanAirportsTurnedOn(const WindowCommandOwners& owners) {
    if (owners.feed.waitingForRealTraffic.load()) {
        sayLogged("Your airports will be scanned");
        owners.run.endRun(RestartReason::newSettings, kScanRestartSeconds);
    } else {
        say(fmt::format("Your airports will be scanned at the next start of {}", kProductName));
    }
}

void setAndSaveBox(ui::Controls& controls, BoolControlParameter& setting, bool on) {
    setting.set(on);
    gf_saveBoolParameter(setting);
    showBoolParameter(controls, setting);
}

// The message line after a check box changed: what the new value means, or
// a clear once the user has undone it.
void sayWhatBoxMeans(const BoolControlParameter& box, bool on) {
    if (&box == &LIG_AUTOMATIC) {
        sayWhenOff(on, "The liveries defined by your lfolder parameters will be scanned");
    } else if (&box == &LIG_PRIORITIZE) {
        sayWhenOn(on, "Liveries, for airl+model, in lower lfolders that are already available will be skipped");
    } else if (&box == &COLLISION_LIVE_PARKED_GND) {
        sayWhenOff(on, "Be aware, live aircraft may collide with (run through) static parked on the ground");
    } else if (&box == &COLLISION_USER_GND) {
        sayWhenOff(on,
                   "Be aware, user aircraft may collide with (run through) live aircraft and static parked on the "
                   "ground");
    } else if (&box == &COLLISION_USER_AIR) {
        sayWhenOff(on, "Be aware, user aircraft may collide with (run through) live aircraft in the air");
    } else if (&box == &INITIAL_LOAD_ONLY) {
        sayWhenOn(on, fmt::format("Initial Load Only: static parked aircraft are generated once, no renewal every {} "
                                  "minutes",
                                  kStaticParkingMinutes));
    } else if (&box == &ALWAYS_ON_TOP) {
        sayWhenOn(on, fmt::format("{}'s window will remain visible", kProductName));
    } else if (&box == &GUID_CHANGES) {
        sayWhenOff(on, "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!");
    } else if (&box == &AEROWINX) {
        sayWhenOn(on, fmt::format("This mode is for users of the Aerowinx simulator only; start {} again to use it",
                                  kProductName));
    } else if (&box == &OBJECTID_LIST) {
        sayWhenOn(on, fmt::format("Every minute info about all active live aircraft is written to the file {}",
                                  gf_pathToUtf8(std::filesystem::absolute(kObjectIdList))));
    } else if (&box == &AIRBORNE_ONLY) {
        sayWhenOn(on, fmt::format("Be aware, airborne live traffic only!  (greater than {:.0f} ft above ground ...)",
                                  kAirborneOnlyFeet));
    }
}

}  // namespace

std::optional<ComboSelection> lf_getComboSelection(const ui::Controls& controls, const ui::Command& command,
                                                   const ControlBinding& combo) {
    if (command.controlId != combo.controlId() || command.kind != ui::CommandKind::SelectionChanged) return {};
    const ui::ControlHandle handle = controls.find(combo.controlId());
    if (handle == ui::kNoControl) return {};
    const int index = controls.currentSelection(handle);
    const std::vector<std::string> entries = controls.items(handle);
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return {};
    return ComboSelection{.index = index, .text = entries[static_cast<std::size_t>(index)]};
}

void requireCompleteOwners(const WindowCommandOwners& owners) {
    std::string missing;
    if (!owners.staticParkingActive) missing += " staticParkingActive";
    if (!owners.openTbloFolder) missing += " openTbloFolder";
    if (!missing.empty()) throw std::logic_error("window commands not wired:" + missing);
}

WindowCommands::WindowCommands(WindowCommandOwners owners, ui::Window& window)
    : owners_(std::move(owners)), window_(window) {
    requireCompleteOwners(owners_);
}

bool WindowCommands::lf_HandleWMCOMMAND(const ui::Command& command) {
    if (command.kind == ui::CommandKind::Clicked &&
        (handleButton(command.controlId) || handleCheckbox(command.controlId))) {
        return true;
    }
    return handleDropdown(command);
}

// lf_handleButtons
bool WindowCommands::handleButton(std::uint16_t controlId) {
    CommandFlags& flags = owners_.flags;
    if (controlId == UNBLOCK_BUTTON.controlId()) {
        if (BLOCK_CALLSIGN.value().empty()) {
            say("Nothing to block or unblock...");
        } else {
            lf_unblockCallsign(window_, flags);
        }
        setControlEnabled(window_, BLOCK_BUTTON, !CALLSIGN_2_OBJECTID.value().empty());
    } else if (controlId == CS_TO_OID_BUTTON.controlId()) {
        flags.callsignListRequest.store(true);
        setControlEnabled(window_, BLOCK_BUTTON, false);
    } else if (controlId == BLOCK_BUTTON.controlId()) {
        // Nothing chosen, nothing to block: an empty callsign would unblock.
        const std::string callsign = CALLSIGN_2_OBJECTID.value();
        if (!callsign.empty()) {
            lf_saveBlockCallsign(window_, flags, callsign);
            flags.callsignChoicesResetRequest.store(true);
        }
        setControlEnabled(window_, BLOCK_BUTTON, false);
    } else if (controlId == REREAD_BUTTON.controlId()) {
        flags.rereadRequest.store(true);
        setControlEnabled(window_, REREAD_BUTTON, false);
        setControlEnabled(window_, DESTINATION, false);
    } else if (controlId == FLUSH_STATIC_BUTTON.controlId()) {
        say("All static parked aircraft will be removed ...");
        flags.flushStaticRequest.store(true);
        setControlEnabled(window_, FLUSH_STATIC_BUTTON, false);
    } else if (controlId == TBLO_ZIP_BUTTON.controlId()) {
        owners_.openTbloFolder();
    } else if (controlId == NOW_BUTTON.controlId()) {
        if (!owners_.staticParkingActive()) return true;
        if (INITIAL_LOAD_ONLY.value()) {
            gf_clearMessage();
            return true;
        }
        lf_announceStaticParkingUpdate(owners_.status, static_cast<std::uint32_t>(flags.runSeconds.load()));
        flags.staticParkingCountdown.store(kStaticParkingMinutes);
        owners_.window.staticParkingCountdown.store(kStaticParkingMinutes);
        repaintControls(owners_);
    } else {
        return false;
    }
    return true;
}

// lf_handleCheckboxes
bool WindowCommands::handleCheckbox(std::uint16_t controlId) {
    BoolControlParameter* box = nullptr;
    for (BoolControlParameter* each : boolControlParameters) {
        if (each->controlId() == controlId) box = each;
    }
    if (box == nullptr) return false;
    const ui::ControlHandle handle = window_.find(controlId);
    const bool on = !window_.isChecked(handle);
    window_.setChecked(handle, on);
    box->set(on);
    gf_saveBoolParameter(*box);

    sayWhatBoxMeans(*box, on);
    applyBox(*box, on);
    return true;
}

void WindowCommands::applyBox(const BoolControlParameter& box, bool on) {
    const WindowCommandOwners& o = owners_;
    if (&box == &LIG_AUTOMATIC) {
        setControlEnabled(window_, AI_PACKAGE_SELECTOR, on);
    } else if (&box == &INITIAL_LOAD_ONLY) {
        setControlEnabled(window_, NOW_BUTTON, !on && o.flags.nowAllowed.load());
        repaintControls(o);
    } else if (&box == &ALWAYS_ON_TOP) {
        window_.setAlwaysOnTop(on);
        repaintControls(o);
    } else if (&box == &GUID_CHANGES || &box == &AIRBORNE_ONLY) {
        repaintControls(o);
    } else if (&box == &AUTO_RANGE) {
        setControlEnabled(window_, AR_ABOVE_HEIGHT, on);
        gf_applyAutoRange(o.range, o.status);
    } else if (&box == &SCAN_AIRPORTS) {
        if (on) {
            scanAirportsTurnedOn(o);
        } else {
            gf_clearMessage();
        }
        repaintControls(o);
    } else if (&box == &SCAN_LIVERIES) {
        if (on) {
            scanLiveriesTurnedOn(o);
        } else {
            setControlEnabled(window_, AI_PACKAGE_SELECTOR, true);
            gf_clearMessage();
        }
        repaintControls(o);
    } else if (&box == &NAV_LIGHTS_WHILE_PARKED) {
        o.flags.navLightsRequest.store(true);
    }
}

// lf_handleDropdowns
bool WindowCommands::handleDropdown(const ui::Command& command) {
    const WindowCommandOwners& o = owners_;
    if (const auto chosen = lf_getComboSelection(window_, command, SIM_CHOICE)) {
        if (chosen->text != SIM_CHOICE.value()) switchSimulatorTo(o, chosen->text);
        return true;
    }
    if (const auto chosen = lf_getComboSelection(window_, command, AI_PACKAGE_SELECTOR)) {
        if (chosen->text != AI_PACKAGE_SELECTOR.value()) {
            gf_setStringParameter(AI_PACKAGE_SELECTOR, chosen->text);
            sayLogged("If you want to make this choice effective, you must start a Scan for liveries");
        }
        return true;
    }
    if (const auto chosen = lf_getComboSelection(window_, command, CALLSIGN_2_OBJECTID)) {
        if (chosen->text != CALLSIGN_2_OBJECTID.value()) {
            CALLSIGN_2_OBJECTID.set(chosen->text);
            o.window.setText(WindowText::followedAircraft, "");
            repaintControls(o);
            o.flags.callsignSelectionChanged.store(true);
            // One blocked callsign at a time: "Block" only while none is.
            const ui::ControlHandle unblock = window_.find(UNBLOCK_BUTTON.controlId());
            setControlEnabled(window_, BLOCK_BUTTON, !window_.isEnabled(unblock));
        }
        return true;
    }
    if (const auto chosen = lf_getComboSelection(window_, command, MATCHING_DEPTH)) {
        const std::int32_t old = MATCHING_DEPTH.value();
        takeRangeValue(MATCHING_DEPTH, chosen->index);
        if (MATCHING_DEPTH.value() > old) o.flags.rematchRequest.store(true);
        return true;
    }
    for (RangeControlParameter* plain : {&MAX_PARK_SEL, &parking_percentage}) {
        if (const auto chosen = lf_getComboSelection(window_, command, *plain)) {
            takeRangeValue(*plain, chosen->index);
            return true;
        }
    }
    if (const auto chosen = lf_getComboSelection(window_, command, RANGE)) {
        takeRangeValue(RANGE, chosen->index);
        gf_setRange(RANGE.value(), o.status);
        return true;
    }
    for (RangeControlParameter* plain : {&AIRP_RANGE, &AR_ABOVE_HEIGHT, &AIRP_HEIGHT}) {
        if (const auto chosen = lf_getComboSelection(window_, command, *plain)) {
            takeRangeValue(*plain, chosen->index);
            return true;
        }
    }
    if (const auto chosen = lf_getComboSelection(window_, command, MAX_FIT_FL)) {
        takeMaxFitHours(chosen->index);
        return true;
    }
    if (const auto chosen = lf_getComboSelection(window_, command, MAX_LIVE_SEL)) {
        takeRangeValue(MAX_LIVE_SEL, chosen->index);
        // The engine's list is the run thread's: it removes the surplus.
        o.flags.liveLimitRequest.store(true);
        return true;
    }
    return false;
}

void switchSimulatorTo(const WindowCommandOwners& owners, std::string_view choice) {
    gf_setStringParameter(SIM_CHOICE, std::string(choice));
    gf_fillChoiceComboBox(owners.status.controls(), SIM_CHOICE);
    lf_switchMsfsVersion(owners);
}

void lf_switchMsfsVersion(const WindowCommandOwners& owners) {
    // A missing file is no failure; any other throws.
    std::filesystem::remove(kLiveriesScannedXml);
    gf_requestLiveryTablesClear(owners.liveryTables);
    owners.flags.liveriesProcessed.store(false);
    ui::Controls& controls = owners.status.controls();
    setAndSaveBox(controls, SCAN_AIRPORTS, true);
    setAndSaveBox(controls, SCAN_LIVERIES, true);
    sayLogged(fmt::format("Switching MSFS version in {}", kProductName));
    ALL_INSTALL_PATH.set("");
    gf_showStringParameter(controls, ALL_INSTALL_PATH);
    if (owners.simVersion.load() == SimVersion::msfs2024) gf_setStringParameter(MYSIMADDON24_VERSION, "");
    owners.simVersion.store(chosenSimVersion());
    owners.run.endRun(RestartReason::newSettings, kSwitchRestartSeconds);
}

}  // namespace qvl
