// The main window's buttons, check boxes and drop-downs in a headless
// window, acting on the real settings with parameters.xml in a temporary
// folder.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/messages.h"
#include "core/parameters.h"
#include "core/paths.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "liveries/livery_tables.h"
#include "platform/ui/headless_controls.h"
#include "platform/ui/headless_window.h"
#include "run/window/commands.h"
#include "run/window/main_window.h"
#include "support/command_parts.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

class WindowCommandsTest : public test::SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        resetMessages();
        gf_saveAllParameters(StoredValues::defaults);
        main = std::make_unique<MainWindow>(
            window, parts.owners(), MainWindowHooks{.onClose = [] {}, .onMessage = [](const ui::ProgramMessage&) {}});
        ASSERT_TRUE(main->initInstance("Quorvelant"));
        // As the start of a run fills the drop-downs and enables the buttons.
        for (const RangeControlParameter* combo : rangeControlParameters) gf_fillRangeComboBox(*window, *combo);
        gf_fillRangeComboBox(*window, parking_percentage);
        gf_fillRangeComboBox(*window, MAX_FIT_FL);
        gf_fillChoiceComboBox(*window, SIM_CHOICE);
        gf_fillChoiceComboBox(*window, AI_PACKAGE_SELECTOR);
        CALLSIGN_2_OBJECTID.setValues({"", "DLH4AB", "KLM1234"});
        gf_fillCallsignComboBox(*window);
        for (const CommandButton* button : {&FLUSH_STATIC_BUTTON, &TBLO_ZIP_BUTTON, &UNBLOCK_BUTTON, &CS_TO_OID_BUTTON,
                                            &BLOCK_BUTTON, &NOW_BUTTON, &REREAD_BUTTON}) {
            window->setEnabled(handle(*button), true);
        }
        window->processPendingEvents();
    }
    void TearDown() override {
        main.reset();
        resetMessages();
        SettingsFolder::TearDown();
    }

    ui::ControlHandle handle(const ControlBinding& binding) const { return window->find(binding.controlId()); }
    void click(const ControlBinding& binding) {
        window->simulateClick(binding.controlId());
        window->processPendingEvents();
    }
    void select(const ControlBinding& combo, int index) {
        window->simulateSelect(combo.controlId(), index);
        window->processPendingEvents();
    }
    // The index of the entry with this text in the drop-down.
    int indexOf(const ControlBinding& combo, const std::string& text) const {
        const std::vector<std::string> entries = window->items(handle(combo));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i] == text) return static_cast<int>(i);
        }
        ADD_FAILURE() << "no entry " << text;
        return 0;
    }
    bool saved(std::string_view key, std::string_view value) {
        return file().find(fmt::format(R"(name="{}" value="{}")", key, value)) != std::string::npos;
    }
    static std::string message() { return messageLines().message; }
    bool enabled(const ControlBinding& binding) const { return window->isEnabled(handle(binding)); }
    static void writeScannedLiveries() {
        fs::create_directories(kLiveriesScannedXml.parent_path());
        test::writeFile(kLiveriesScannedXml, "<liveries/>");
    }

    std::shared_ptr<ui::HeadlessWindow> window = std::make_shared<ui::HeadlessWindow>();
    test::CommandParts parts{window};
    std::unique_ptr<MainWindow> main;
};

// --- Check boxes ---

TEST_F(WindowCommandsTest, EveryCheckBoxFlipsItsSettingAndSavesItAtOnce) {
    parts.feed.waitingForRealTraffic.store(false);  // the scan boxes then only schedule
    for (BoolControlParameter* box : boolControlParameters) {
        const bool before = box->value();
        window->setChecked(handle(*box), before);
        click(*box);
        EXPECT_EQ(box->value(), !before) << box->key();
        EXPECT_EQ(window->isChecked(handle(*box)), !before) << box->key();
        EXPECT_TRUE(saved(box->key(), before ? "false" : "true")) << box->key();
        click(*box);
        EXPECT_EQ(box->value(), before) << box->key();
        EXPECT_TRUE(saved(box->key(), before ? "true" : "false")) << box->key();
    }
    EXPECT_FALSE(parts.run.isClosing());
}

struct BoxMessage {
    BoolControlParameter* box;
    bool turnedOn;
    const char* text;
};

TEST_F(WindowCommandsTest, CheckBoxesSayWhatTheChangeMeansAndClearItWhenUndone) {
    const std::vector<BoxMessage> table{
        {&LIG_AUTOMATIC, false, "The liveries defined by your lfolder parameters will be scanned"},
        {&LIG_PRIORITIZE, true,
         "Liveries, for airl+model, in lower lfolders that are already available will be skipped"},
        {&COLLISION_USER_AIR, false, "Be aware, user aircraft may collide with (run through) live aircraft in the air"},
        {&INITIAL_LOAD_ONLY, true,
         "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes"},
        {&ALWAYS_ON_TOP, true, "Quorvelant's window will remain visible"},
        {&GUID_CHANGES, false, "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!"},
        {&AIRBORNE_ONLY, true, "Be aware, airborne live traffic only!  (greater than 150 ft above ground ...)"},
    };
    for (const BoxMessage& row : table) {
        row.box->set(!row.turnedOn);
        window->setChecked(handle(*row.box), !row.turnedOn);
        click(*row.box);
        EXPECT_EQ(message(), row.text) << row.box->key();
        click(*row.box);
        EXPECT_EQ(message(), "") << row.box->key();
    }
}

TEST_F(WindowCommandsTest, CheckBoxesSwitchTheControlsTheyGovern) {
    INITIAL_LOAD_ONLY.set(false);
    click(INITIAL_LOAD_ONLY);
    EXPECT_FALSE(enabled(NOW_BUTTON));
    click(INITIAL_LOAD_ONLY);
    EXPECT_FALSE(enabled(NOW_BUTTON)) << "no update has run yet to be brought forward";
    parts.flags.nowAllowed.store(true);
    click(INITIAL_LOAD_ONLY);
    click(INITIAL_LOAD_ONLY);
    EXPECT_TRUE(enabled(NOW_BUTTON));

    window->setChecked(handle(ALWAYS_ON_TOP), false);
    click(ALWAYS_ON_TOP);
    EXPECT_TRUE(window->isAlwaysOnTop());
    click(ALWAYS_ON_TOP);
    EXPECT_FALSE(window->isAlwaysOnTop());

    window->setChecked(handle(AUTO_RANGE), false);
    click(AUTO_RANGE);
    EXPECT_TRUE(enabled(AR_ABOVE_HEIGHT));
    EXPECT_FALSE(enabled(RANGE));
    click(AUTO_RANGE);
    EXPECT_FALSE(enabled(AR_ABOVE_HEIGHT));
    EXPECT_TRUE(enabled(RANGE));
}

TEST_F(WindowCommandsTest, ScanBoxesBeforeTheTrafficClientConnectedRestartTheRunAndClearTheLiveriesNextStart) {
    parts.feed.waitingForRealTraffic.store(true);
    parts.flags.liveriesProcessed.store(true);
    parts.tables.catalogueBuilt = true;
    window->setChecked(handle(SCAN_LIVERIES), false);
    click(SCAN_LIVERIES);
    EXPECT_EQ(message(), "Your liveries will be scanned");
    EXPECT_TRUE(logged("Your liveries will be scanned"));
    EXPECT_EQ(parts.run.restartReason.load(), RestartReason::newSettings);
    EXPECT_EQ(parts.run.restartDelay.load(), 2);
    EXPECT_FALSE(enabled(AI_PACKAGE_SELECTOR));
    EXPECT_FALSE(parts.flags.liveriesProcessed.load());
    // The tables are the run thread's: the next start-up clears them first
    // and builds the catalogue anew.
    EXPECT_TRUE(parts.tables.catalogueBuilt);
    EXPECT_TRUE(honourLiveryTablesClearRequest(parts.tables));
    EXPECT_FALSE(parts.tables.catalogueBuilt);

    parts.run.reset();
    window->setChecked(handle(SCAN_AIRPORTS), false);
    click(SCAN_AIRPORTS);
    EXPECT_EQ(message(), "Your airports will be scanned");
    EXPECT_EQ(parts.run.restartReason.load(), RestartReason::newSettings);
    EXPECT_EQ(parts.run.restartDelay.load(), 2);
}

TEST_F(WindowCommandsTest, ScanBoxesAfterTheTrafficClientConnectedOnlyScheduleTheScan) {
    parts.feed.waitingForRealTraffic.store(false);
    parts.flags.liveriesProcessed.store(true);
    window->setChecked(handle(SCAN_LIVERIES), false);
    click(SCAN_LIVERIES);
    EXPECT_EQ(message(), "Your liveries will be scanned at the next start of Quorvelant");
    EXPECT_FALSE(enabled(AI_PACKAGE_SELECTOR));
    EXPECT_TRUE(parts.flags.liveriesProcessed.load());
    EXPECT_FALSE(parts.tables.clearRequested.load());
    click(SCAN_LIVERIES);
    EXPECT_TRUE(enabled(AI_PACKAGE_SELECTOR));

    window->setChecked(handle(SCAN_AIRPORTS), false);
    click(SCAN_AIRPORTS);
    EXPECT_EQ(message(), "Your airports will be scanned at the next start of Quorvelant");
    EXPECT_FALSE(parts.run.isClosing());
}

// --- Drop-downs ---

struct ComboChoice {
    RangeControlParameter* combo;
    const char* entry;
    std::int32_t value;
};

TEST_F(WindowCommandsTest, EveryNumberDropDownSetsAndSavesItsSetting) {
    const std::vector<ComboChoice> table{
        {&MATCHING_DEPTH, "2", 2},    {&MAX_PARK_SEL, "75", 75}, {&parking_percentage, "45", 45},
        {&RANGE, "65", 65},           {&AIRP_RANGE, "5", 5},     {&AR_ABOVE_HEIGHT, "21000", 21000},
        {&AIRP_HEIGHT, "2000", 2000}, {&MAX_LIVE_SEL, "10", 10},
    };
    for (const ComboChoice& row : table) {
        select(*row.combo, indexOf(*row.combo, row.entry));
        EXPECT_EQ(row.combo->value(), row.value) << row.combo->key();
        EXPECT_TRUE(saved(row.combo->key(), row.entry)) << row.combo->key();
    }
    EXPECT_EQ(rangeNm.load(), 65.0);
}

TEST_F(WindowCommandsTest, OnlyARaisedMatchingDepthAsksForAnotherMatch) {
    select(MATCHING_DEPTH, indexOf(MATCHING_DEPTH, "2"));  // from 4
    EXPECT_FALSE(parts.flags.rematchRequest.load());
    select(MATCHING_DEPTH, indexOf(MATCHING_DEPTH, "3"));
    EXPECT_TRUE(parts.flags.rematchRequest.exchange(false));
    select(MATCHING_DEPTH, indexOf(MATCHING_DEPTH, "3"));  // the same again
    EXPECT_FALSE(parts.flags.rematchRequest.load());
}

// A drop-down with one entry more than its setting has values: the entry
// whose index equals the number of values stands for none of them.
TEST_F(WindowCommandsTest, AnEntryBeyondTheSettingsValuesSelectsNothing) {
    MATCHING_DEPTH.set(2);
    for (RangeControlParameter* combo : std::initializer_list<RangeControlParameter*>{&MATCHING_DEPTH, &MAX_FIT_FL}) {
        const std::int32_t before = combo->value();
        fs::remove(parametersFile());
        window->addString(handle(*combo), "99");
        select(*combo, static_cast<int>(combo->values().size()));
        ASSERT_EQ(window->currentSelection(handle(*combo)), static_cast<int>(combo->values().size()));
        EXPECT_EQ(combo->value(), before) << combo->key();
        EXPECT_FALSE(fs::exists(parametersFile())) << combo->key() << ": nothing saved";
    }
    EXPECT_EQ(MAX_FIT.value(), MAX_FIT.defaultValue());
    EXPECT_FALSE(parts.flags.rematchRequest.load());
}

TEST_F(WindowCommandsTest, MaxFitHoursMapBackToHalfHoursOfMaxFit) {
    const std::vector<std::pair<std::size_t, std::int32_t>> hoursToHalfHours{{0, 0}, {8, 8}, {10, 11}, {19, 47}};
    for (const auto& [index, halfHours] : hoursToHalfHours) {
        select(MAX_FIT_FL, static_cast<int>(index));
        EXPECT_EQ(MAX_FIT.value(), halfHours) << index;
        EXPECT_TRUE(saved("MAX_FIT", std::to_string(halfHours))) << index;
        EXPECT_EQ(gf_maxFitToFloat(MAX_FIT.value()), MAX_FIT_FL.floatValue()) << index;
    }
}

TEST_F(WindowCommandsTest, ThePackageChoiceIsSavedAndTheUserToldToScan) {
    select(AI_PACKAGE_SELECTOR, 1);
    EXPECT_EQ(AI_PACKAGE_SELECTOR.value(), AI_PACKAGE_SELECTOR.values()[1]);
    EXPECT_TRUE(saved("AI_PACKAGE_SELECTOR", AI_PACKAGE_SELECTOR.values()[1]));
    EXPECT_TRUE(logged("If you want to make this choice effective, you must start a Scan for liveries"));
}

TEST_F(WindowCommandsTest, ChoosingACallsignFollowsItAndOffersToBlockIt) {
    parts.state.setText(WindowText::followedAircraft, "= 4711");
    select(CALLSIGN_2_OBJECTID, 1);
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "DLH4AB");
    EXPECT_EQ(parts.state.text(WindowText::followedAircraft), "");
    EXPECT_TRUE(parts.flags.callsignSelectionChanged.load());
    window->setEnabled(handle(UNBLOCK_BUTTON), false);
    select(CALLSIGN_2_OBJECTID, 2);
    EXPECT_TRUE(enabled(BLOCK_BUTTON));
    window->setEnabled(handle(UNBLOCK_BUTTON), true);
    select(CALLSIGN_2_OBJECTID, 1);
    EXPECT_FALSE(enabled(BLOCK_BUTTON)) << "one blocked callsign at a time";
}

// --- The switch of simulators ---

TEST_F(WindowCommandsTest, ChoosingTheChosenSimulatorDoesNothing) {
    writeScannedLiveries();
    select(SIM_CHOICE, indexOf(SIM_CHOICE, "MSFS 2020"));
    EXPECT_TRUE(fs::exists(kLiveriesScannedXml));
    EXPECT_FALSE(parts.run.isClosing());
    EXPECT_EQ(message(), "");
}

TEST_F(WindowCommandsTest, ChoosingTheOtherSimulatorForgetsTheOldScansAndRestarts) {
    writeScannedLiveries();
    SCAN_AIRPORTS.set(false);
    SCAN_LIVERIES.set(false);
    ALL_INSTALL_PATH.set("/games/msfs");
    gf_setStringParameter(MYSIMADDON24_VERSION, "1.2.3");
    parts.sim = SimVersion::msfs2024;
    select(SIM_CHOICE, indexOf(SIM_CHOICE, "MSFS 2024"));
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2024");
    EXPECT_TRUE(saved("SIM_CHOICE", "MSFS 2024"));
    EXPECT_FALSE(fs::exists(kLiveriesScannedXml));
    EXPECT_TRUE(parts.tables.clearRequested.load());
    for (BoolControlParameter* scan : {&SCAN_AIRPORTS, &SCAN_LIVERIES}) {
        EXPECT_TRUE(scan->value());
        EXPECT_TRUE(saved(scan->key(), "true"));
        EXPECT_TRUE(window->isChecked(handle(*scan)));
    }
    EXPECT_TRUE(logged("Switching MSFS version in Quorvelant"));
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "");
    EXPECT_TRUE(saved("MYSIMADDON24_VERSION", ""));
    EXPECT_EQ(parts.run.restartReason.load(), RestartReason::newSettings);
    EXPECT_EQ(parts.run.restartDelay.load(), 3);
}

TEST_F(WindowCommandsTest, ASwitchFromThe2020SimulatorKeepsThe2024AddOnVersionAndTheFirstReasonWins) {
    gf_setStringParameter(MYSIMADDON24_VERSION, "1.2.3");
    parts.run.endRun(RestartReason::readerError, 15);
    switchSimulatorTo(parts.owners(), "MSFS 2024");
    EXPECT_EQ(MYSIMADDON24_VERSION.value(), "1.2.3");
    EXPECT_EQ(parts.run.restartReason.load(), RestartReason::readerError);
    EXPECT_EQ(parts.run.restartDelay.load(), 15);
}

// The new choice is the run's at once: an install path typed before the
// restart is the new simulator's.
TEST_F(WindowCommandsTest, ASwitchMakesTheChosenSimulatorTheRuns) {
    select(SIM_CHOICE, indexOf(SIM_CHOICE, "MSFS 2024"));
    EXPECT_EQ(parts.sim.load(), SimVersion::msfs2024);
    select(SIM_CHOICE, indexOf(SIM_CHOICE, "MSFS 2020"));
    EXPECT_EQ(parts.sim.load(), SimVersion::msfs2020);
}

// --- Buttons and the requests they hand to the run thread ---

TEST_F(WindowCommandsTest, ButtonsRaiseTheirRequestsAndSwitchThemselvesOff) {
    click(REREAD_BUTTON);
    EXPECT_TRUE(parts.flags.rereadRequest.load());
    EXPECT_FALSE(enabled(REREAD_BUTTON));
    EXPECT_FALSE(enabled(DESTINATION));

    click(FLUSH_STATIC_BUTTON);
    EXPECT_TRUE(parts.flags.flushStaticRequest.load());
    EXPECT_EQ(message(), "All static parked aircraft will be removed ...");
    EXPECT_FALSE(enabled(FLUSH_STATIC_BUTTON));

    click(CS_TO_OID_BUTTON);
    EXPECT_TRUE(parts.flags.callsignListRequest.load());
    EXPECT_FALSE(enabled(BLOCK_BUTTON));

    click(TBLO_ZIP_BUTTON);
    EXPECT_EQ(parts.tbloOpens, 1);
}

TEST_F(WindowCommandsTest, BlockTakesTheChosenCallsignAndTheRunEmptiesTheChoices) {
    select(CALLSIGN_2_OBJECTID, 2);
    window->setEnabled(handle(BLOCK_BUTTON), true);
    click(BLOCK_BUTTON);
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "KLM1234");
    EXPECT_TRUE(saved("BLOCK_CALLSIGN", "KLM1234"));
    EXPECT_TRUE(parts.flags.blockListChanged.load());
    EXPECT_TRUE(parts.flags.callsignChoicesResetRequest.load());
    EXPECT_TRUE(enabled(UNBLOCK_BUTTON));
    EXPECT_FALSE(enabled(BLOCK_BUTTON));
    EXPECT_EQ(CALLSIGN_2_OBJECTID.values().size(), 3U) << "the choices are the run thread's to empty";

    parts.flags.blockListChanged.store(false);
    click(UNBLOCK_BUTTON);
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "");
    EXPECT_TRUE(parts.flags.blockListChanged.load());
    EXPECT_TRUE(enabled(BLOCK_BUTTON)) << "a callsign is still chosen";
    window->setEnabled(handle(UNBLOCK_BUTTON), true);
    click(UNBLOCK_BUTTON);
    EXPECT_EQ(message(), "Nothing to block or unblock...");
}

TEST_F(WindowCommandsTest, BlockWithNothingChosenBlocksNothing) {
    gf_setStringParameter(BLOCK_CALLSIGN, "DLH4AB");
    click(BLOCK_BUTTON);
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "DLH4AB");
    EXPECT_FALSE(parts.flags.blockListChanged.load());
}

TEST_F(WindowCommandsTest, EngineWorkIsOnlyRequestedFromTheWindow) {
    window->setChecked(handle(NAV_LIGHTS_WHILE_PARKED), false);
    click(NAV_LIGHTS_WHILE_PARKED);
    EXPECT_TRUE(parts.flags.navLightsRequest.load());
    select(MAX_LIVE_SEL, indexOf(MAX_LIVE_SEL, "25"));
    EXPECT_TRUE(parts.flags.liveLimitRequest.load());
}

TEST_F(WindowCommandsTest, NowAnnouncesAnUpdateOnlyWhileStaticParkingRunsAndRenewalIsOn) {
    gf_showMessage("before", MessageLogging::notLogged);
    click(NOW_BUTTON);
    EXPECT_EQ(message(), "before") << "no static parking, nothing to update";

    parts.parkingActive = true;
    INITIAL_LOAD_ONLY.set(true);
    click(NOW_BUTTON);
    EXPECT_EQ(message(), "");
    EXPECT_FALSE(parts.parkingUpdate.pending.load());

    INITIAL_LOAD_ONLY.set(false);
    parts.flags.runSeconds.store(37);
    parts.flags.staticParkingCountdown.store(3);
    click(NOW_BUTTON);
    EXPECT_EQ(message(), "Quorvelant will update static parking in 8 seconds ...");
    EXPECT_TRUE(parts.parkingUpdate.pending.load());
    EXPECT_EQ(parts.flags.staticParkingCountdown.load(), 20);
    EXPECT_EQ(parts.state.staticParkingCountdown.load(), 20);
    EXPECT_FALSE(enabled(FLUSH_STATIC_BUTTON));
}

// A window whose drop-downs say that the entry one past their last is
// selected; everything else is the headless window's.
class SelectionPastTheEnd final : public ui::Controls {
public:
    explicit SelectionPastTheEnd(ui::HeadlessControls& inner) : inner_(inner) {}
    int currentSelection(ui::ControlHandle combo) const override {
        return static_cast<int>(inner_.items(combo).size());
    }
    bool exists(ui::ControlHandle control) const override { return inner_.exists(control); }
    ui::ControlHandle find(std::uint16_t controlId) const override { return inner_.find(controlId); }
    void resetContent(ui::ControlHandle combo) override { inner_.resetContent(combo); }
    void addString(ui::ControlHandle combo, std::string_view item) override { inner_.addString(combo, item); }
    void setCurrentSelection(ui::ControlHandle combo, int index) override { inner_.setCurrentSelection(combo, index); }
    int selectString(ui::ControlHandle combo, std::string_view prefix) override {
        return inner_.selectString(combo, prefix);
    }
    std::vector<std::string> items(ui::ControlHandle combo) const override { return inner_.items(combo); }
    void setChecked(ui::ControlHandle box, bool checked) override { inner_.setChecked(box, checked); }
    bool isChecked(ui::ControlHandle box) const override { return inner_.isChecked(box); }
    void setText(ui::ControlHandle control, std::string_view text) override { inner_.setText(control, text); }
    std::string text(ui::ControlHandle control) const override { return inner_.text(control); }
    void setEnabled(ui::ControlHandle control, bool enabled) override { inner_.setEnabled(control, enabled); }
    bool isEnabled(ui::ControlHandle control) const override { return inner_.isEnabled(control); }

private:
    ui::HeadlessControls& inner_;
};

TEST(ComboSelection, AnIndexEqualToTheItemCountSelectsNothing) {
    ui::HeadlessControls controls;
    const ui::ControlHandle combo = controls.create(ui::ControlKind::ComboBox, RANGE.controlId());
    for (const char* entry : {"10", "20", "30"}) controls.addString(combo, entry);
    const ui::Command picked{.controlId = RANGE.controlId(), .kind = ui::CommandKind::SelectionChanged};
    const SelectionPastTheEnd window(controls);
    EXPECT_EQ(window.currentSelection(combo), 3);
    EXPECT_FALSE(lf_getComboSelection(window, picked, RANGE).has_value());

    controls.setCurrentSelection(combo, 2);  // the last entry itself is a choice
    const auto last = lf_getComboSelection(controls, picked, RANGE);
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->index, 2);
    EXPECT_EQ(last->text, "30");
}

}  // namespace
}  // namespace qvl
