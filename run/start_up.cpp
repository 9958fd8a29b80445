#include "run/start_up.h"

#include <fmt/format.h>

#include <array>
#include <chrono>
#include <exception>
#include <filesystem>
#include <new>
#include <string_view>
#include <system_error>

#include "core/fixed_code.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/range_control.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/user_error.h"
#include "platform/sys/known_folders.h"
#include "platform/ui/controls.h"
#include "refdata/data_file.h"
#include "run/closing_down.h"
#include "run/main_loop.h"
#include "run/traffic_run.h"
#include "run/version_check.h"
#include "simlink/sim_version.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

constexpr int kNotInProgramFolderCode = 41;
constexpr int kNoInstallPathCode = 150;

void checkProgramFolder() {
    if (!fs::is_directory(fs::status(kDocsFolder))) {
        throw UserErrorException(kNotInProgramFolderCode,
                                 fmt::format("{} must be run from the {} folder!", kProductName, kProductName));
    }
}

StringParameter& installPathSetting(bool simIs2020) { return simIs2020 ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH; }

void repairInstallPath(bool simIs2020) {
    StringParameter& setting = installPathSetting(simIs2020);
    if (auto repaired = repairedInstallPath(setting.value())) gf_setStringParameter(setting, std::move(*repaired));
}

// The user's add-on airports: their stand files (*.xml) and the link files
// (*.txt) that stand for archived ones. Whatever else lies there (a save's
// temporary file, a note, a folder) is no airport.
std::uint64_t standFilesIn(const fs::path& folder) {
    std::error_code error;
    std::uint64_t count = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code statusError;
        if (!it->is_regular_file(statusError)) continue;
        const std::string extension = gf_pathToUtf8(it->path().extension());
        if (gf_upperEquals(extension, ".XML") || gf_upperEquals(extension, ".TXT")) ++count;
    }
    return count;
}

// A stored destination that is no airport code is left alone, not fatal.
void applyStoredDestination(RunControl& control) {
    const std::string text = DESTINATION.value();
    if (text.empty()) return;
    try {
        const FixedCode4 code(text);
        if (const auto position = control.startUp.airportPosition(code)) {
            control.startUp.setDestination(text, *position);
        }
    } catch (const std::invalid_argument& e) {
        gf_log(fmt::format("Stored destination '{}' ignored: {}", text, e.what()));
    }
}

bool prepareRun(RunControl& control) {
    const RunClock::time_point start = control.clock.now();
    checkProgramFolder();
    if (!lf_readDataFiles(control)) return false;
    gf_removeWithWarning(kAirportsXml);
    gf_removeWithWarning(kAigRegcodesXml);
    gf_removeWithWarning(kDbaseXml);
    if (SCAN_LIVERIES.value() || !fs::exists(kLiveriesScannedXml)) control.startUp.scanLiveries();
    control.startUp.processScannedLiveries();
    gf_log(fmt::format("Start-up to ready: {} ms",
                       std::chrono::duration_cast<std::chrono::milliseconds>(control.clock.now() - start).count()));
    if (!control.run.isClosing() && SCAN_AIRPORTS.value()) {
        control.status.showCount(StatusCount::simaddonAirports, 0);
        control.status.showCount(StatusCount::thirdpartyAirports, 0);
        control.startUp.scanAirports();
    }
    if (control.run.isClosing()) {
        userCloseExit(control);
        return false;
    }
    control.status.showCount(StatusCount::simaddonAirports, standFilesIn(kMySimaddonFolder));
    control.status.showCount(StatusCount::thirdpartyAirports, standFilesIn(kMyThirdpartyFolder));
    if (control.run.isClosing()) {
        userCloseExit(control);
        return false;
    }
    control.startUp.createFlightPlanFolder();
    control.startUp.readMyParkAirports();
    setControlEnabled(control.controls, REREAD_BUTTON, true);
    applyStoredDestination(control);
    control.window.setAlwaysOnTop(ALWAYS_ON_TOP.value());
    return true;
}

// closingFlag stays down for these, so that a party ending the run while the
// closing down waits for the user still records its reason.
void recordSystemErrorUnlessClosing(RunControl& control) {
    if (!control.run.closingFlag.load()) control.run.restartReason.store(RestartReason::systemError);
}

void endWithSystemError(RunControl& control) { control.run.endRun(RestartReason::systemError, 0); }

// The hours drop-down lists its values as hours with one decimal.
void fillMaxFitFl(ui::Controls& controls) {
    const ui::ControlHandle combo = MAX_FIT_FL.controlHandle();
    if (!controls.exists(combo)) return;
    controls.resetContent(combo);
    for (const std::int32_t bits : MAX_FIT_FL.values()) {
        controls.addString(combo, fmt::format("{:.1f}", FloatRangeControlParameter::fromBits(bits)));
    }
    if (const auto index = MAX_FIT_FL.valueIndex(MAX_FIT_FL.value())) {
        controls.setCurrentSelection(combo, static_cast<int>(*index));
    }
}

}  // namespace

std::optional<std::string> repairedInstallPath(const std::string& installPath) {
    constexpr std::string_view kName = "Community";
    if (installPath.size() < kName.size() + 1 || !installPath.ends_with(kName)) return std::nullopt;
    const std::size_t separator = installPath.size() - kName.size() - 1;
    if (installPath[separator] != '\\' && installPath[separator] != '/') return std::nullopt;
    return installPath.substr(0, separator);
}

void lf_startUpQVLT(RunControl& control) {
    try {
        if (prepareRun(control)) {
            if (lf_runTraffic(control)) {
                lf_mainLoop(control);
            } else {
                userCloseExit(control);
            }
        }
    } catch (const UserErrorException& e) {
        gf_reportError(e.what());
        recordSystemErrorUnlessClosing(control);
    } catch (const fmt::format_error& e) {
        gf_reportError(fmt::format("std::format error: {}", e.what()));
        gf_reportError(e.what());
        endWithSystemError(control);
    } catch (const std::bad_alloc& e) {
        gf_reportError(e.what());
        endWithSystemError(control);
    } catch (const std::exception& e) {
        gf_reportError(e.what());
        endWithSystemError(control);
    } catch (...) {
        gf_reportError("Unknown exception");
        recordSystemErrorUnlessClosing(control);
    }
    gf_flushLog();
    lf_closingDown(control);
}

bool lf_readDataFiles(RunControl& control) {
    StartUpSteps& steps = control.startUp;
    steps.initParameters();
    control.window.repaintStatus();
    gf_flushLog();
    lf_applyParametersToControls(control);
    const bool simIs2020 = control.process.simIs2020.load();
    repairInstallPath(simIs2020);
    lf_createFolders();
    if (!control.process.restarting.load()) {
        removeInterruptedLeftovers({}, productFolder());
        if (!steps.checkVersions()) return false;
    }
    control.process.trafficDaySlot.store(control.trafficRun.trafficDaySlot());
    if (!control.process.dataFilesRead.load()) {
        const bool read = steps.readDbase();
        control.process.dataFilesRead.store(true);
        if (!read) throw std::runtime_error("reading data files failed!");
    }
    if (!steps.readAirports())
        throw std::runtime_error(fmt::format("reading '{}' failed!", gf_pathToUtf8(kAirportsEnc)));
    ALL_INSTALL_PATH.set(installPathSetting(simIs2020).value());
    setControlEnabled(control.controls, ALL_INSTALL_PATH, true);
    gf_showStringParameter(control.controls, ALL_INSTALL_PATH);
    if (ALL_INSTALL_PATH.value().empty() && !steps.detectMsfs()) {
        throw UserErrorException(kNoInstallPathCode,
                                 "No install path detected. Type the full path to your Community folder above, then "
                                 "press Enter");
    }
    control.window.repaintControls();
    if (control.process.productionMode.load()) {
        lf_stopAfterProductionRun(control);
        return false;
    }
    const fs::path realTrafficJar = sys::roamingAppDataFolder() / kInsideSystemsFolder / "RealTraffic.jar";
    const bool local = fs::exists(realTrafficJar);
    control.process.rtLocal.store(local);
    steps.setRealTrafficLocal(local);
    gf_showMessage(fmt::format("RealTraffic {}detected at this PC", local ? "" : "not "), MessageLogging::logged);
    gf_flushLog();
    return true;
}

void lf_createFolders() {
    const std::array<const fs::path*, 11> folders{
        &kOutputFolder,     &kInfoFolder,         &kErrorsFolder,          &kAirportsFolder,
        &kLearnedFolder,    &kLearnedStockFolder, &kLearnedSimaddonFolder, &kLearnedThirdpartyFolder,
        &kMySimaddonFolder, &kMyThirdpartyFolder, &kMyRegcodesFolder};
    for (const fs::path* folder : folders) {
        if (!fs::is_directory(*folder)) fs::create_directories(*folder);
    }
    if (fs::exists(kObjectIdList)) fs::remove(kObjectIdList);
}

void lf_applyParametersToControls(RunControl& control) {
    for (BoolControlParameter* box : {&ALWAYS_ON_TOP, &NAV_LIGHTS_WHILE_PARKED, &OBJECTID_LIST, &GUID_CHANGES,
                                      &SCAN_LIVERIES, &LIG_AUTOMATIC, &LIG_PRIORITIZE, &SCAN_AIRPORTS}) {
        setControlEnabled(control.controls, *box, true);
    }
    setControlEnabled(control.controls, TBLO_ZIP_BUTTON, false);
    setControlEnabled(control.controls, MATCHING_DEPTH, true);
    gf_fillRangeComboBox(control.controls, MATCHING_DEPTH);
    for (BoolControlParameter* box : {&LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT})
        setControlEnabled(control.controls, *box, true);
    setControlEnabled(control.controls, RANGE, !AUTO_RANGE.value());
    gf_fillRangeComboBox(control.controls, RANGE);
    setControlEnabled(control.controls, AUTO_RANGE, true);
    setControlEnabled(control.controls, AR_ABOVE_HEIGHT, AUTO_RANGE.value());
    gf_fillRangeComboBox(control.controls, AR_ABOVE_HEIGHT);
    for (BoolControlParameter* box :
         {&AIRBORNE_ONLY, &COLLISION_USER_GND, &COLLISION_USER_AIR, &COLLISION_LIVE_PARKED_GND}) {
        setControlEnabled(control.controls, *box, true);
    }
    setControlEnabled(control.controls, BLOCK_BUTTON, false);
    setControlEnabled(control.controls, BLOCK_CALLSIGN, true);
    setControlEnabled(control.controls, UNBLOCK_BUTTON, !BLOCK_CALLSIGN.value().empty());
    if (!INITIAL_LOAD_ONLY.value()) setControlEnabled(control.controls, NOW_BUTTON, false);
    for (RangeControlParameter* combo : {&MAX_PARK_SEL, &MAX_LIVE_SEL}) {
        setControlEnabled(control.controls, *combo, true);
        gf_fillRangeComboBox(control.controls, *combo);
    }
    setControlEnabled(control.controls, STRAIGHT_PBS_ONLY, true);
    setControlEnabled(control.controls, CS_TO_OID_BUTTON, false);
    setControlEnabled(control.controls, CALLSIGN_2_OBJECTID, false);
    gf_fillChoiceComboBox(control.controls, AI_PACKAGE_SELECTOR);
    setControlEnabled(control.controls, AI_PACKAGE_SELECTOR, LIG_AUTOMATIC.value());
    const SimVersion chosen = chosenSimVersion();
    const bool simIs2020 = chosen == SimVersion::msfs2020;
    control.process.simIs2020.store(simIs2020);
    control.startUp.chooseSimulator(chosen);
    setControlEnabled(control.controls, SIM_CHOICE, true);
    gf_fillChoiceComboBox(control.controls, SIM_CHOICE);
    control.process.simNumber.store(simIs2020 ? 1 : 2);
    setControlEnabled(control.controls, DESTINATION, false);
    for (RangeControlParameter* combo : {&AIRP_RANGE, &AIRP_HEIGHT}) {
        setControlEnabled(control.controls, *combo, true);
        gf_fillRangeComboBox(control.controls, *combo);
    }
    setControlEnabled(control.controls, REREAD_BUTTON, false);
    parking_percentage.set(30);
    gf_fillRangeComboBox(control.controls, parking_percentage);
    setControlEnabled(control.controls, parking_percentage, false);
    fillMaxFitFl(control.controls);
    gf_selectMaxFitFl(control.status);
    setControlEnabled(control.controls, MAX_FIT_FL, false);
    for (BoolControlParameter* box : {&WEEK, &PARK_SOFT, &INITIAL_LOAD_ONLY})
        setControlEnabled(control.controls, *box, true);
    setControlEnabled(control.controls, FLUSH_STATIC_BUTTON, false);
    // At run start with AUTO_RANGE off the stored radius is the filter's.
    if (!AUTO_RANGE.value()) gf_setRange(RANGE.value(), control.status);
}

void lf_stopAfterProductionRun(RunControl& control) {
    try {
        gf_log("production");
        gf_flushLog();
        control.process.exitCode.store(0);
        userCloseExit(control);
    } catch (const std::exception& e) {
        gf_logAttention(fmt::format("exception {}", e.what()));
        control.process.exitCode.store(1);
    }
}

}  // namespace qvl
