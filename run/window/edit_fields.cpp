#include "run/window/edit_fields.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "platform/sys/ascii.h"
#include "run/window/control_text.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

void say(const std::string& text) { gf_showMessage(text, MessageLogging::logged); }

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), sys::asciiUpper);
    return text;
}

// --- Install path ---

void lf_communityPathFound(RunState& run) {
    say(fmt::format("Community path found, {} will restart ...", kProductName));
    run.endRun(RestartReason::newSettings, 3);
}

// The path without the separators ("\" or "/") that end it.
std::string withoutTrailingSeparators(std::string text) {
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
    return text;
}

bool holdsCommunity(const fs::path& folder) {
    std::error_code error;
    return fs::is_directory(folder / kCommunityName, error);
}

void storeInstallPath(StringParameter& setting, const std::string& text, RunState& run) {
    gf_setStringParameter(setting, text);
    lf_communityPathFound(run);
}

// A refused path is said on the message line, and the field shows the
// stored path again, not what was typed.
void refuseInstallPath(ui::Controls& controls, const StringParameter& setting, const std::string& reason) {
    say(reason);
    ALL_INSTALL_PATH.set(setting.value());
    gf_showStringParameter(controls, ALL_INSTALL_PATH);
}

void lf_setInstallPath(ui::Controls& controls, StringParameter& setting, const std::string& text, RunState& run) {
    clearError();
    gf_clearMessage();
    if (text.empty()) {
        if (!setting.value().empty()) gf_setStringParameter(setting, "");
        return;
    }
    const std::string trimmed = withoutTrailingSeparators(text);
    const fs::path folder = pathFromUtf8(trimmed);
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (error && status.type() != fs::file_type::not_found) {
        refuseInstallPath(controls, setting, fmt::format("Cannot access install path '{}': {}", text, error.message()));
        return;
    }
    if (!fs::exists(status)) {
        refuseInstallPath(controls, setting, fmt::format("This install path does not exist: {}", text));
        return;
    }
    if (folder.filename() != kCommunityName) {
        if (holdsCommunity(folder)) {
            storeInstallPath(setting, text, run);
        } else {
            refuseInstallPath(controls, setting, "This path exists but is not a path to Community ...");
        }
        return;
    }
    const std::string parent = withoutTrailingSeparators(gf_pathToUtf8(folder.parent_path()));
    if (holdsCommunity(pathFromUtf8(parent))) {
        storeInstallPath(setting, parent, run);
    } else {
        refuseInstallPath(controls, setting, "This path does not contain a valid Community folder (unexpected).");
    }
}

// --- Blocked callsign ---

}  // namespace

void lf_unblockCallsign(ui::Controls& controls, CommandFlags& flags) {
    const std::string old = BLOCK_CALLSIGN.value();
    if (old.empty()) return;
    gf_setStringParameter(BLOCK_CALLSIGN, "");
    gf_showStringParameter(controls, BLOCK_CALLSIGN);
    setControlEnabled(controls, UNBLOCK_BUTTON, false);
    say(fmt::format("no more blocking of live aircraft '{}'", old));
    flags.blockListChanged.store(true);
}

void lf_saveBlockCallsign(ui::Controls& controls, CommandFlags& flags, const std::string& callsign) {
    gf_setStringParameter(BLOCK_CALLSIGN, callsign);
    gf_showStringParameter(controls, BLOCK_CALLSIGN);
    setControlEnabled(controls, UNBLOCK_BUTTON, true);
    flags.blockListChanged.store(true);
}

namespace {

void lf_blockCallsign(ui::Controls& controls, CommandFlags& flags) {
    gf_clearMessage();
    const std::string text = lf_getTextFromId(controls, BLOCK_CALLSIGN.controlId());
    if (text.empty()) {
        lf_unblockCallsign(controls, flags);
        return;
    }
    if (text.size() < 4 || text.size() > 8) {
        say(fmt::format("callsign '{}' is not valid", text));
        gf_showStringParameter(controls, BLOCK_CALLSIGN);
        return;
    }
    const std::string callsign = upperCase(text);
    if (callsign == BLOCK_CALLSIGN.value()) {
        say(fmt::format("callsign '{}' was already set ...", callsign));
        gf_showStringParameter(controls, BLOCK_CALLSIGN);
        return;
    }
    // The followed aircraft is about to go: its choices are filled anew on
    // the run thread, which owns the live aircraft.
    if (callsign == CALLSIGN_2_OBJECTID.value()) flags.callsignListRequest.store(true);
    gf_setStringParameter(BLOCK_CALLSIGN, callsign);
    gf_showStringParameter(controls, BLOCK_CALLSIGN);
    setControlEnabled(controls, UNBLOCK_BUTTON, true);
    flags.blockListChanged.store(true);
}

// --- Destination ---

enum class DestinationCheck : std::uint8_t { empty, notValid, alreadySet, unknown };

void lf_checkDestination(ui::Controls& controls, DestinationCheck result, const std::string& text) {
    switch (result) {
        case DestinationCheck::empty:
            setControlEnabled(controls, REREAD_BUTTON, true);
            say("destination set to empty");
            return;
        case DestinationCheck::notValid: say(fmt::format("destination '{}' is not valid", text)); break;
        case DestinationCheck::alreadySet: say(fmt::format("destination '{}' was already set ...", text)); break;
        case DestinationCheck::unknown: say(fmt::format("destination '{}' is unknown ...", text)); break;
    }
    gf_showStringParameter(controls, DESTINATION);
}

void lf_enterDestination(const EditFields& fields, const EditFieldOwners& owners) {
    gf_clearMessage();
    const std::string text = lf_getTextFromId(owners.controls, DESTINATION.controlId());
    if (text.empty()) {
        // The end of the run saves it.
        DESTINATION.set("");
        lf_checkDestination(owners.controls, DestinationCheck::empty, text);
        return;
    }
    if (text.size() != 4) {
        lf_checkDestination(owners.controls, DestinationCheck::notValid, text);
        return;
    }
    const std::string code = upperCase(text);
    if (code == DESTINATION.value()) {
        lf_checkDestination(owners.controls, DestinationCheck::alreadySet, code);
        return;
    }
    FixedCode4 icao;
    try {
        icao = FixedCode4(code);
    } catch (const std::invalid_argument&) {
        // Letters and digits only; the field is refilled and nothing thrown.
        lf_checkDestination(owners.controls, DestinationCheck::notValid, code);
        return;
    }
    if (const auto position = owners.airportPosition(icao)) {
        fields.lf_setDestination(code, *position);
    } else {
        lf_checkDestination(owners.controls, DestinationCheck::unknown, code);
    }
}

StringParameter& installPathSetting(const EditFieldOwners& owners) {
    return owners.simVersion() == SimVersion::msfs2020 ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH;
}

}  // namespace

namespace {

EditFieldOwners required(EditFieldOwners owners) {
    std::string missing;
    if (!owners.simVersion) missing += " simVersion";
    if (!owners.airportPosition) missing += " airportPosition";
    if (!owners.pushParkAirport) missing += " pushParkAirport";
    if (!missing.empty()) throw std::logic_error("edit fields not wired:" + missing);
    return owners;
}

}  // namespace

EditFields::EditFields(EditFieldOwners owners) : owners_(required(std::move(owners))) {}

void EditFields::lf_editSubclassProc(std::uint16_t controlId) const {
    gf_clearMessage();
    if (controlId == BLOCK_CALLSIGN.controlId()) {
        lf_blockCallsign(owners_.controls, owners_.flags);
    } else if (controlId == DESTINATION.controlId()) {
        lf_enterDestination(*this, owners_);
    } else if (controlId == ALL_INSTALL_PATH.controlId()) {
        lf_setInstallPath(owners_.controls, installPathSetting(owners_), lf_getTextFromId(owners_.controls, controlId),
                          owners_.run);
    }
}

void EditFields::lf_setDestination(const std::string& text, const GeoPosition& position) const {
    ui::Controls& controls = owners_.controls;
    gf_setStringParameter(DESTINATION, text);
    gf_showStringParameter(controls, DESTINATION);
    say(fmt::format("New destination: {}", text));
    owners_.pushParkAirport(FixedCode4(text), position);
    setControlEnabled(controls, REREAD_BUTTON, false);
}

}  // namespace qvl
