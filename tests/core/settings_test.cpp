#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/support/bound_controls.h"
#include "support/settings_scope.h"

namespace qvl {
namespace {

TEST(SettingsTable, DropDownListsAgreeWithTheirLimitsAndDefaults) {
    const std::initializer_list<const RangeControlParameter*> dropDowns{
        &MATCHING_DEPTH, &RANGE,       &AR_ABOVE_HEIGHT,    &MAX_PARK_SEL, &MAX_LIVE_SEL,
        &AIRP_RANGE,     &AIRP_HEIGHT, &parking_percentage, &MAX_FIT_FL};
    for (const RangeControlParameter* s : dropDowns) {
        const auto& values = s->values();
        ASSERT_FALSE(values.empty()) << s->key();
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << s->key();
        EXPECT_EQ(s->minimum(), values.front()) << s->key();
        EXPECT_EQ(s->maximum(), values.back()) << s->key();
        EXPECT_TRUE(s->valueIndex(s->defaultValue()).has_value()) << s->key();
    }
    const auto& orders = AI_PACKAGE_SELECTOR.values();
    EXPECT_EQ(std::set<std::string>(orders.begin(), orders.end()).size(), 64U);
    EXPECT_EQ(orders[0], AI_PACKAGE_SELECTOR.defaultValue());
}

TEST(SettingsTable, ControlIdsAreUniqueAndInTheWindowRange) {
    std::vector<const ControlBinding*> bindings{
        &parking_percentage,  &MAX_FIT_FL,          &AI_PACKAGE_SELECTOR, &DESTINATION,    &ALL_INSTALL_PATH,
        &CALLSIGN_2_OBJECTID, &FLUSH_STATIC_BUTTON, &TBLO_ZIP_BUTTON,     &UNBLOCK_BUTTON, &CS_TO_OID_BUTTON,
        &BLOCK_BUTTON,        &NOW_BUTTON,          &REREAD_BUTTON};
    bindings.insert(bindings.end(), boolControlParameters.begin(), boolControlParameters.end());
    bindings.insert(bindings.end(), rangeControlParameters.begin(), rangeControlParameters.end());
    bindings.insert(bindings.end(), shownStringParameters.begin(), shownStringParameters.end());
    ASSERT_EQ(bindings.size(), 43U);  // every control of the main window
    std::set<std::uint16_t> ids;
    for (const ControlBinding* binding : bindings) {
        EXPECT_GE(binding->controlId(), 32771);
        EXPECT_LE(binding->controlId(), 32857);
        ids.insert(binding->controlId());
    }
    EXPECT_EQ(ids.size(), bindings.size());
}

TEST(SettingsTable, ClampIsSignedAndMaxFitFlKeepsFloatBits) {
    EXPECT_EQ(RANGE.clamp(1), 2);
    EXPECT_EQ(RANGE.clamp(7), 7);  // inside the limits, though not in the list
    EXPECT_EQ(CUSTOM_PARKING_PERCENTAGE.clamp(-5), -1);
    EXPECT_EQ(LAST_EPOCH_TIME.clamp(INT32_MIN), 0);
    EXPECT_EQ(LAST_EPOCH_TIME.clamp(INT32_MAX), INT32_MAX);

    using F = FloatRangeControlParameter;
    EXPECT_EQ(MAX_FIT_FL.floatDefault(), 24.0F);
    EXPECT_EQ(MAX_FIT_FL.valueIndex(F::toBits(4.5F)), 8U);
    EXPECT_FALSE(MAX_FIT_FL.valueIndex(F::toBits(11.0F)).has_value());
    EXPECT_EQ(F::fromBits(MAX_FIT_FL.clamp(F::toBits(30.0F))), 24.0F);
    EXPECT_EQ(F::fromBits(MAX_FIT_FL.clamp(F::toBits(0.25F))), 0.5F);
}

TEST(SettingsTable, RangeInMetresFollowsTheRadiusInMiles) {
    const test::SettingsScope settings;
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [nm, metres] : std::initializer_list<std::pair<double, std::int32_t>>{
             {80.0, 148160}, {2.5, 4630}, {-1.0, 0}, {notANumber, 0}, {1e300, INT32_MAX}}) {
        rangeNm.store(nm);
        EXPECT_EQ(rangeMeters(), metres) << nm;
    }
}

TEST(SettingsTable, ResetBringsBackEveryStartValueAlsoOutsideTheRegistries) {
    RANDOM.set(false);
    PARK_SOFT.set(true);
    RANGE.set(80);
    rangeNm.store(80.0);
    parking_percentage.set(55);
    MAX_FIT_FL.setFloat(3.0F);
    PROGRAM_VERSION.setDefault("12.2.0");
    PROGRAM_VERSION.set("11.0.0");
    SIM_CHOICE.set("MSFS 2024");
    ALL_INSTALL_PATH.set("/sim");
    CALLSIGN_2_OBJECTID.set("KLM1");
    CALLSIGN_2_OBJECTID.setValues({"KLM1"});

    resetAllSettings();
    EXPECT_TRUE(RANDOM.value());
    EXPECT_FALSE(PARK_SOFT.value());
    EXPECT_EQ(RANGE.value(), 40);
    EXPECT_EQ(rangeNm.load(), 40.0);
    EXPECT_EQ(rangeMeters(), 74080);
    EXPECT_EQ(parking_percentage.value(), 30);
    EXPECT_EQ(MAX_FIT_FL.floatValue(), 24.0F);
    EXPECT_EQ(PROGRAM_VERSION.defaultValue(), "");  // the default it was built with
    EXPECT_EQ(PROGRAM_VERSION.value(), "");
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2020");
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "");
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "");
    EXPECT_TRUE(CALLSIGN_2_OBJECTID.values().empty());
}

// The tests' settings scope: what a test changes, in or outside the
// registries, is back as it was before the test, which need not be the
// defaults.
TEST(SettingsTable, AScopePutsEverySettingBackAsItFoundIt) {
    const test::SettingsScope outer;
    RANDOM.set(!RANDOM.defaultValue());
    PARK_SOFT.set(!PARK_SOFT.defaultValue());
    HOLDING_THRESHOLD_METERS.set(777);
    RANGE.set(80);
    rangeNm.store(80.0);
    parking_percentage.set(55);
    MAX_FIT_FL.setFloat(3.0F);
    PROGRAM_VERSION.setDefault("12.2.0");
    PROGRAM_VERSION.set("11.0.0");
    DESTINATION.set("EDDF");
    SIM_CHOICE.set("MSFS 2024");
    ALL_INSTALL_PATH.set("/sim");
    CALLSIGN_2_OBJECTID.set("KLM1");
    CALLSIGN_2_OBJECTID.setValues({"KLM1", "DLH2"});
    {
        const test::SettingsScope scope;
        resetAllSettings();
        PROGRAM_VERSION.setDefault("13.0.0");
        BLOCK_CALLSIGN.set("BAW3");
    }
    EXPECT_EQ(RANDOM.value(), !RANDOM.defaultValue());
    EXPECT_EQ(PARK_SOFT.value(), !PARK_SOFT.defaultValue());
    EXPECT_EQ(HOLDING_THRESHOLD_METERS.value(), 777);
    EXPECT_EQ(RANGE.value(), 80);
    EXPECT_EQ(rangeNm.load(), 80.0);
    EXPECT_EQ(parking_percentage.value(), 55);
    EXPECT_EQ(MAX_FIT_FL.floatValue(), 3.0F);
    EXPECT_EQ(PROGRAM_VERSION.defaultValue(), "12.2.0");
    EXPECT_EQ(PROGRAM_VERSION.value(), "11.0.0");
    EXPECT_EQ(DESTINATION.value(), "EDDF");
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2024");
    EXPECT_EQ(BLOCK_CALLSIGN.value(), BLOCK_CALLSIGN.defaultValue());
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "/sim");
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "KLM1");
    EXPECT_EQ(CALLSIGN_2_OBJECTID.values(), (std::vector<std::string>{"KLM1", "DLH2"}));
}

// A headless window whose combo boxes are bound to the settings under test.
class SettingsCombo : public ::testing::Test {
protected:
    ui::ControlHandle bind(ControlBinding& binding) { return window.bind(binding, ui::ControlKind::ComboBox); }
    test::SettingsScope settings;
    test::BoundControls window;
    ui::HeadlessControls* controls = &window.controls();
};

TEST_F(SettingsCombo, ChoiceTakesTheExactEntryElseTheSelectStringRule) {
    const auto packages = bind(AI_PACKAGE_SELECTOR);
    AI_PACKAGE_SELECTOR.set("AIG, FSLTL");  // not the longer entry it begins
    gf_fillChoiceComboBox(*controls, AI_PACKAGE_SELECTOR);
    EXPECT_EQ(controls->items(packages), AI_PACKAGE_SELECTOR.values());
    EXPECT_EQ(controls->currentSelection(packages), 48);
    for (const char* miss : {"aig, fsltl, jf, mtl", "AIG, FSLTL, JF, MTL ", ""}) {
        AI_PACKAGE_SELECTOR.set(miss);
        EXPECT_FALSE(gf_findChoiceIndex(AI_PACKAGE_SELECTOR).has_value()) << miss;
    }
    const ControlPlace place{.controlId = 1, .rowY = 1};
    EXPECT_FALSE(gf_findChoiceIndex(ChoiceParameter("C", "", {}, place)).has_value());
    EXPECT_EQ(gf_findChoiceIndex(ChoiceParameter("D", "b", {"a", "b", "b"}, place)), 1U);

    const auto sim = bind(SIM_CHOICE);
    for (const auto& [value, selection] :
         std::vector<std::pair<std::string, int>>{{"msfs 2024", 1}, {"MSFS", 0}, {"X-Plane", ui::kNoSelection}}) {
        SIM_CHOICE.set(value);
        gf_fillChoiceComboBox(*controls, SIM_CHOICE);
        EXPECT_EQ(controls->currentSelection(sim), selection) << value;
    }
    EXPECT_EQ(controls->items(sim).size(), 2U);
}

TEST_F(SettingsCombo, RangeListSelectsTheCurrentValueWhenListed) {
    const auto combo = bind(RANGE);
    RANGE.set(65);
    gf_fillRangeComboBox(*controls, RANGE);
    EXPECT_EQ(controls->items(combo).back(), "100");
    EXPECT_EQ(controls->currentSelection(combo), 17);
    RANGE.set(7);
    gf_fillRangeComboBox(*controls, RANGE);  // a refill starts from an empty list
    EXPECT_EQ(controls->items(combo).size(), 20U);
    EXPECT_EQ(controls->currentSelection(combo), ui::kNoSelection);
}

TEST_F(SettingsCombo, NothingHappensWithoutALiveControl) {
    const auto unbound = controls->create(ui::ControlKind::ComboBox, RANGE.controlId());
    gf_fillRangeComboBox(*controls, RANGE);
    gf_fillChoiceComboBox(*controls, SIM_CHOICE);
    EXPECT_TRUE(controls->items(unbound).empty());

    const auto stale = bind(MATCHING_DEPTH);
    controls->destroy(stale);
    gf_fillRangeComboBox(*controls, MATCHING_DEPTH);
    EXPECT_FALSE(controls->exists(stale));
}

}  // namespace
}  // namespace qvl
