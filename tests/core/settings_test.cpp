#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/settings.h"
#include "platform/ui/headless_controls.h"

namespace qvl {
namespace {

using Keys = std::vector<std::string>;

template <typename Registry>
Keys lf_keysOf(const Registry& registry) {
    Keys keys;
    for (const auto* setting : registry) {
        keys.push_back(setting->key());
    }
    return keys;
}

TEST(SettingsRegistries, MembersInFileOrder) {
    EXPECT_EQ(lf_keysOf(boolParameters), (Keys{"RANDOM"}));
    EXPECT_EQ(lf_keysOf(boolControlParameters),
              (Keys{"ALWAYS_ON_TOP", "OBJECTID_LIST", "NAV_LIGHTS_WHILE_PARKED", "AEROWINX",
                    "GUID_CHANGES", "SCAN_LIVERIES", "LIG_AUTOMATIC", "LIG_PRIORITIZE",
                    "SCAN_AIRPORTS", "LIGHT_AIRCRAFT", "HELICOPTERS", "HIGH_PERF_AIRCRAFT",
                    "AUTO_RANGE", "AIRBORNE_ONLY", "COLLISION_USER_GND", "COLLISION_USER_AIR",
                    "COLLISION_LIVE_PARKED_GND", "STRAIGHT_PBS_ONLY", "INITIAL_LOAD_ONLY", "WEEK",
                    "PARK_SOFT"}));
    EXPECT_EQ(lf_keysOf(rangeParameters),
              (Keys{"MAIN_WINDOW_X", "MAIN_WINDOW_Y", "LAST_EPOCH_TIME:",
                    "CUSTOM_PARKING_PERCENTAGE", "HOLDING_THRESHOLD_METERS",
                    "MAX_HOLDING_MINUTES", "AIRP_HEIGHT", "MAX_FIT"}));
    EXPECT_EQ(lf_keysOf(rangeControlParameters),
              (Keys{"MATCHING_DEPTH", "RANGE", "AR_ABOVE_HEIGHT", "MAX_PARK_SEL", "MAX_LIVE_SEL",
                    "AIRP_RANGE", "AIRP_HEIGHT"}));
    EXPECT_EQ(lf_keysOf(stringParameters),
              (Keys{"PROGRAM_VERSION", "MSFS_INSTALL_PATH", "PORT_NUMBER", "lfolder0", "lfolder1",
                    "lfolder2", "lfolder3", "lfolder4", "lfolder5", "lfolder6", "lfolder7",
                    "lfolder8", "lfolder9", "AIG_VERSION", "DBASE_VERSION", "AIRPORTS_VERSION",
                    "LIV_SCAN_VERSION", "ADDONS_SCAN_VERSION", "MYSIMADDON24_VERSION",
                    "MSFS_2024_INSTALL_PATH", "AI_PACKAGE_SELECTOR", "DESTINATION"}));
    EXPECT_EQ(lf_keysOf(shownStringParameters), (Keys{"BLOCK_CALLSIGN", "SIM_CHOICE"}));
}

TEST(SettingsRegistries, RegistriesPointAtTheProgramWideObjects) {
    EXPECT_EQ(boolParameters[0], &RANDOM);
    EXPECT_EQ(boolControlParameters[12], &AUTO_RANGE);
    EXPECT_EQ(rangeParameters[2], &LAST_EPOCH_TIME);
    // AIRP_HEIGHT is one object read and written twice.
    EXPECT_EQ(rangeParameters[6], &AIRP_HEIGHT);
    EXPECT_EQ(rangeControlParameters[6], &AIRP_HEIGHT);
    EXPECT_EQ(stringParameters[20], &AI_PACKAGE_SELECTOR);
    EXPECT_EQ(stringParameters[21], &DESTINATION);
    EXPECT_EQ(shownStringParameters[1], &SIM_CHOICE);
}

TEST(SettingsRegistries, UnstoredSettingsStandInNoRegistry) {
    std::set<std::string> registered;
    auto add = [&registered](const Keys& keys) { registered.insert(keys.begin(), keys.end()); };
    add(lf_keysOf(boolParameters));
    add(lf_keysOf(boolControlParameters));
    add(lf_keysOf(rangeParameters));
    add(lf_keysOf(rangeControlParameters));
    add(lf_keysOf(stringParameters));
    add(lf_keysOf(shownStringParameters));
    EXPECT_EQ(registered.size(), 1U + 21U + 8U + 7U + 22U + 2U - 1U);  // AIRP_HEIGHT once
    for (const auto* key : {"parking_percentage", "MAX_FIT_FL", "ALL_INSTALL_PATH",
                            "CALLSIGN_2_OBJECTID", "Flush static", "Re-read"}) {
        EXPECT_EQ(registered.count(key), 0U) << key;
    }
}

TEST(SettingsTable, BooleanDefaultsAndControls) {
    EXPECT_TRUE(RANDOM.defaultValue());
    EXPECT_TRUE(RANDOM.value());
    struct Row {
        const BoolControlParameter* setting;
        bool defaultValue;
        std::uint16_t id;
        std::uint32_t row;
    };
    for (const Row& r : {Row{&ALWAYS_ON_TOP, false, 32771, 147},
                         Row{&NAV_LIGHTS_WHILE_PARKED, true, 32774, 175},
                         Row{&SCAN_LIVERIES, true, 32798, 147}, Row{&AUTO_RANGE, true, 32819, 231},
                         Row{&COLLISION_LIVE_PARKED_GND, false, 32835, 287},
                         Row{&PARK_SOFT, false, 32852, 371}}) {
        SCOPED_TRACE(r.setting->key());
        EXPECT_EQ(r.setting->defaultValue(), r.defaultValue);
        EXPECT_EQ(r.setting->value(), r.defaultValue);
        EXPECT_EQ(r.setting->controlId(), r.id);
        EXPECT_EQ(r.setting->rowY(), r.row);
        EXPECT_EQ(r.setting->controlHandle(), ui::kNoControl);
        EXPECT_EQ(r.setting->previousProcedure(), 0U);
    }
}

TEST(SettingsTable, IntegerDefaultsAndLimits) {
    struct Row {
        const RangeParameter* setting;
        std::int32_t defaultValue, minimum, maximum;
    };
    for (const Row& r : {Row{&MAIN_WINDOW_X, 400, -30000, 30000},
                         Row{&MAIN_WINDOW_Y, 20, -30000, 30000},
                         Row{&LAST_EPOCH_TIME, 0, 0, INT32_MAX},
                         Row{&CUSTOM_PARKING_PERCENTAGE, -1, -1, 100},
                         Row{&HOLDING_THRESHOLD_METERS, 250, 10, 4000},
                         Row{&MAX_HOLDING_MINUTES, 20, 1, 60}, Row{&MAX_FIT, 47, 0, 47},
                         Row{&AIRP_HEIGHT, 18000, 2000, 48000}, Row{&RANGE, 40, 2, 100},
                         Row{&AR_ABOVE_HEIGHT, 48000, 18000, 48000},
                         Row{&MAX_LIVE_SEL, 500, 0, 500}, Row{&AIRP_RANGE, 20, 5, 30},
                         Row{&parking_percentage, 30, 0, 100}}) {
        SCOPED_TRACE(r.setting->key());
        EXPECT_EQ(r.setting->defaultValue(), r.defaultValue);
        EXPECT_EQ(r.setting->value(), r.defaultValue);
        EXPECT_EQ(r.setting->minimum(), r.minimum);
        EXPECT_EQ(r.setting->maximum(), r.maximum);
    }
    EXPECT_EQ(LAST_EPOCH_TIME.key(), "LAST_EPOCH_TIME:");
    EXPECT_DOUBLE_EQ(rangeNm.load(), 40.0);
    EXPECT_EQ(rangeMeters.load(), 74080);
}

TEST(SettingsTable, DropDownListsAndControls) {
    using Values = std::vector<std::int32_t>;
    EXPECT_EQ(MATCHING_DEPTH.values(), (Values{1, 2, 3, 4}));
    EXPECT_EQ(RANGE.values(), (Values{2, 3, 4, 5, 6, 8, 10, 12, 14, 16, 18, 20, 25, 30, 35, 40,
                                      50, 65, 80, 100}));
    EXPECT_EQ(AIRP_HEIGHT.values(), (Values{2000, 4000, 6000, 8000, 10000, 12000, 14000, 16000,
                                            18000, 36000, 48000}));
    EXPECT_EQ(MAX_PARK_SEL.values(), (Values{0, 10, 25, 50, 75, 100, 500}));
    EXPECT_EQ(MAX_PARK_SEL.values(), MAX_LIVE_SEL.values());
    ASSERT_EQ(AR_ABOVE_HEIGHT.values().size(), 11U);
    EXPECT_EQ(AR_ABOVE_HEIGHT.values()[1], 21000);
    ASSERT_EQ(parking_percentage.values().size(), 21U);
    EXPECT_EQ(parking_percentage.values()[20], 100);

    struct Row {
        const RangeControlParameter* setting;
        std::uint16_t id;
        std::uint32_t row;
    };
    for (const Row& r : {Row{&MATCHING_DEPTH, 32808, 203}, Row{&RANGE, 32818, 231},
                         Row{&AR_ABOVE_HEIGHT, 32820, 231}, Row{&MAX_PARK_SEL, 32848, 315},
                         Row{&MAX_LIVE_SEL, 32849, 315}, Row{&AIRP_RANGE, 32840, 343},
                         Row{&AIRP_HEIGHT, 32841, 343}, Row{&parking_percentage, 32850, 371},
                         Row{&MAX_FIT_FL, 32854, 371}}) {
        SCOPED_TRACE(r.setting->key());
        EXPECT_EQ(r.setting->controlId(), r.id);
        EXPECT_EQ(r.setting->rowY(), r.row);
        const auto& values = r.setting->values();
        ASSERT_FALSE(values.empty());
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
        EXPECT_EQ(r.setting->minimum(), values.front());
        EXPECT_EQ(r.setting->maximum(), values.back());
        EXPECT_TRUE(r.setting->valueIndex(r.setting->defaultValue()).has_value());
    }
}

TEST(SettingsTable, StringDefaultsAndControls) {
    EXPECT_EQ(PROGRAM_VERSION.defaultValue(), "");
    EXPECT_EQ(PORT_NUMBER.value(), "10747");
    EXPECT_EQ(lfolder9.key(), "lfolder9");
    EXPECT_EQ(lfolder9.value(), "");
    EXPECT_EQ(AI_PACKAGE_SELECTOR.value(), "AIG, FSLTL, JF, MTL");
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2020");
    EXPECT_EQ(SIM_CHOICE.values(), (std::vector<std::string>{"MSFS 2020", "MSFS 2024"}));
    EXPECT_TRUE(CALLSIGN_2_OBJECTID.values().empty());

    struct Row {
        const StringControlParameter* setting;
        std::uint16_t id;
        std::uint32_t row;
    };
    for (const Row& r :
         {Row{&AI_PACKAGE_SELECTOR, 32790, 147}, Row{&DESTINATION, 32839, 343},
          Row{&BLOCK_CALLSIGN, 32828, 259}, Row{&SIM_CHOICE, 32789, 119},
          Row{&ALL_INSTALL_PATH, 32788, 119}, Row{&CALLSIGN_2_OBJECTID, 32831, 259}}) {
        SCOPED_TRACE(r.setting->key());
        EXPECT_EQ(r.setting->controlId(), r.id);
        EXPECT_EQ(r.setting->rowY(), r.row);
    }
}

TEST(SettingsTable, ControlIdsAreUniqueAndInTheWindowRange) {
    const std::vector<const ControlBinding*> bindings{
        &ALWAYS_ON_TOP, &OBJECTID_LIST, &NAV_LIGHTS_WHILE_PARKED, &AEROWINX, &GUID_CHANGES,
        &SCAN_LIVERIES, &LIG_AUTOMATIC, &LIG_PRIORITIZE, &SCAN_AIRPORTS, &LIGHT_AIRCRAFT,
        &HELICOPTERS, &HIGH_PERF_AIRCRAFT, &AUTO_RANGE, &AIRBORNE_ONLY, &COLLISION_USER_GND,
        &COLLISION_USER_AIR, &COLLISION_LIVE_PARKED_GND, &STRAIGHT_PBS_ONLY, &INITIAL_LOAD_ONLY,
        &WEEK, &PARK_SOFT, &AIRP_HEIGHT, &MATCHING_DEPTH, &RANGE, &AR_ABOVE_HEIGHT,
        &MAX_PARK_SEL, &MAX_LIVE_SEL, &AIRP_RANGE, &parking_percentage, &MAX_FIT_FL,
        &AI_PACKAGE_SELECTOR, &DESTINATION, &BLOCK_CALLSIGN, &SIM_CHOICE, &ALL_INSTALL_PATH,
        &CALLSIGN_2_OBJECTID, &FLUSH_STATIC_BUTTON, &TBLO_ZIP_BUTTON, &UNBLOCK_BUTTON,
        &CS_TO_OID_BUTTON, &BLOCK_BUTTON, &NOW_BUTTON, &REREAD_BUTTON};
    EXPECT_EQ(bindings.size(), 43U);  // every control of the main window
    std::set<std::uint16_t> ids;
    for (const ControlBinding* binding : bindings) {
        EXPECT_GE(binding->controlId(), 32771);
        EXPECT_LE(binding->controlId(), 32857);
        ids.insert(binding->controlId());
    }
    EXPECT_EQ(ids.size(), bindings.size());
    EXPECT_EQ(CS_TO_OID_BUTTON.key(), "cs->oid:");
    EXPECT_EQ(FLUSH_STATIC_BUTTON.key(), "Flush static");
    EXPECT_EQ(FLUSH_STATIC_BUTTON.rowY(), 369U);
    EXPECT_EQ(REREAD_BUTTON.controlId(), 32838);
    EXPECT_EQ(NOW_BUTTON.rowY(), 313U);
}

// Every ordering of every non-empty subset of the four names, subsets from
// four names down to one, each size's subsets in lexicographic order.
std::vector<std::string> lf_packageOrders() {
    const std::vector<std::string> names{"AIG", "FSLTL", "JF", "MTL"};
    std::vector<std::string> result;
    for (std::size_t size = names.size(); size >= 1; --size) {
        // A mask with `size` ones first, walked by prev_permutation, picks
        // the subsets in lexicographic order of their members.
        std::vector<bool> mask(names.size(), false);
        std::fill(mask.begin(), mask.begin() + static_cast<std::ptrdiff_t>(size), true);
        do {
            std::vector<std::string> subset;
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (mask[i]) {
                    subset.push_back(names[i]);
                }
            }
            do {
                std::string joined;
                for (const auto& name : subset) {
                    joined += joined.empty() ? name : ", " + name;
                }
                result.push_back(joined);
            } while (std::next_permutation(subset.begin(), subset.end()));
        } while (std::prev_permutation(mask.begin(), mask.end()));
    }
    return result;
}

TEST(SettingsTable, PackageSelectorHoldsSixtyFourOrdersInListOrder) {
    const auto expected = lf_packageOrders();
    ASSERT_EQ(expected.size(), 64U);
    EXPECT_EQ(AI_PACKAGE_SELECTOR.values(), expected);
    // Landmarks named outright, so the generator itself is checked too.
    EXPECT_EQ(expected[23], "MTL, JF, FSLTL, AIG");
    EXPECT_EQ(expected[24], "AIG, FSLTL, JF");
    EXPECT_EQ(expected[30], "AIG, FSLTL, MTL");
    EXPECT_EQ(expected[47], "MTL, JF, FSLTL");
    EXPECT_EQ(expected[48], "AIG, FSLTL");
    EXPECT_EQ(expected[59], "MTL, JF");
    EXPECT_EQ(expected[63], "MTL");
}

TEST(SettingsTable, ParkingKeysAreTheSettingsOwnKeys) {
    ASSERT_EQ(parkingSettingKeys.size(), 8U);
    const std::vector<const Parameter*> owners{&RANGE, &AUTO_RANGE, &INITIAL_LOAD_ONLY,
                                               &PARK_SOFT, &parking_percentage, &MAX_FIT,
                                               &WEEK, &MAX_LIVE_SEL};
    for (std::size_t i = 0; i < owners.size(); ++i) {
        EXPECT_EQ(parkingSettingKeys[i], owners[i]->key());
        EXPECT_EQ(parkingSettingKeys[i].data(), owners[i]->key().data());
    }
}

TEST(RangeParameterClamp, SignedClampToTheLimits) {
    EXPECT_EQ(RANGE.clamp(1), 2);
    EXPECT_EQ(RANGE.clamp(500), 100);
    EXPECT_EQ(RANGE.clamp(7), 7);  // inside the limits, though not in the list
    EXPECT_EQ(CUSTOM_PARKING_PERCENTAGE.clamp(-5), -1);
    EXPECT_EQ(MAIN_WINDOW_X.clamp(-40000), -30000);
    EXPECT_EQ(MAIN_WINDOW_X.clamp(-29999), -29999);
    EXPECT_EQ(LAST_EPOCH_TIME.clamp(INT32_MIN), 0);
    EXPECT_EQ(LAST_EPOCH_TIME.clamp(INT32_MAX), INT32_MAX);
}

TEST(MaxFitFl, KeepsFloatBitPatterns) {
    EXPECT_EQ(MAX_FIT_FL.key(), "MAX_FIT_FL");
    EXPECT_EQ(MAX_FIT_FL.defaultValue(), std::bit_cast<std::int32_t>(24.0F));
    EXPECT_EQ(MAX_FIT_FL.minimum(), std::bit_cast<std::int32_t>(0.5F));
    EXPECT_EQ(MAX_FIT_FL.maximum(), std::bit_cast<std::int32_t>(24.0F));
    EXPECT_EQ(MAX_FIT_FL.floatValue(), 24.0F);
    EXPECT_EQ(MAX_FIT_FL.floatDefault(), 24.0F);

    const std::vector<float> hours{0.5F, 1, 1.5F, 2, 2.5F, 3, 3.5F, 4, 4.5F, 5,
                                   6,    7, 8,    9, 10,   12, 15, 18, 21, 24};
    ASSERT_EQ(MAX_FIT_FL.values().size(), hours.size());
    for (std::size_t i = 0; i < hours.size(); ++i) {
        EXPECT_EQ(std::bit_cast<float>(MAX_FIT_FL.values()[i]), hours[i]);
    }
    EXPECT_EQ(MAX_FIT_FL.valueIndex(std::bit_cast<std::int32_t>(4.5F)), 8U);
    // 11 hours is a valid window that the list cannot show.
    EXPECT_FALSE(MAX_FIT_FL.valueIndex(std::bit_cast<std::int32_t>(11.0F)).has_value());
    // Positive floats order like their bit patterns, so the integer clamp
    // keeps its meaning.
    EXPECT_EQ(std::bit_cast<float>(MAX_FIT_FL.clamp(std::bit_cast<std::int32_t>(30.0F))), 24.0F);
    EXPECT_EQ(std::bit_cast<float>(MAX_FIT_FL.clamp(std::bit_cast<std::int32_t>(0.25F))), 0.5F);
}

// Restores a string setting's current value when the test ends.
class ValueGuard {
public:
    explicit ValueGuard(StringParameter& setting) : setting_(setting), saved_(setting.value()) {}
    ~ValueGuard() { setting_.set(saved_); }
    ValueGuard(const ValueGuard&) = delete;
    ValueGuard& operator=(const ValueGuard&) = delete;

private:
    StringParameter& setting_;
    std::string saved_;
};

TEST(FindChoiceIndex, ExactCaseSensitiveFirstMatch) {
    ValueGuard guard(AI_PACKAGE_SELECTOR);
    EXPECT_EQ(gf_findChoiceIndex(AI_PACKAGE_SELECTOR), 0U);
    AI_PACKAGE_SELECTOR.set("AIG, FSLTL");
    EXPECT_EQ(gf_findChoiceIndex(AI_PACKAGE_SELECTOR), 48U);  // not a longer entry it begins
    AI_PACKAGE_SELECTOR.set("MTL");
    EXPECT_EQ(gf_findChoiceIndex(AI_PACKAGE_SELECTOR), 63U);
    AI_PACKAGE_SELECTOR.set("aig, fsltl, jf, mtl");
    EXPECT_FALSE(gf_findChoiceIndex(AI_PACKAGE_SELECTOR).has_value());
    AI_PACKAGE_SELECTOR.set("AIG, FSLTL, JF, MTL ");
    EXPECT_FALSE(gf_findChoiceIndex(AI_PACKAGE_SELECTOR).has_value());
    AI_PACKAGE_SELECTOR.set("");
    EXPECT_FALSE(gf_findChoiceIndex(AI_PACKAGE_SELECTOR).has_value());
}

TEST(FindChoiceIndex, EmptyListAndDuplicates) {
    ChoiceParameter empty("C", "", {}, 1, 1);
    EXPECT_FALSE(gf_findChoiceIndex(empty).has_value());
    ChoiceParameter twice("D", "b", {"a", "b", "b"}, 1, 1);
    EXPECT_EQ(gf_findChoiceIndex(twice), 1U);
}

// A headless window installed for the test, with combo boxes bound to the
// settings under test; everything is put back afterwards.
class FillComboTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::installControls(controls);
    }

    void TearDown() override {
        for (ControlBinding* binding : bound) {
            binding->setControlHandle(ui::kNoControl);
        }
        ui::installControls(nullptr);
        RANGE.set(RANGE.defaultValue());
        CALLSIGN_2_OBJECTID.setValues({});
    }

    ui::ControlHandle bind(ControlBinding& binding) {
        const ui::ControlHandle handle =
            controls->create(ui::ControlKind::ComboBox, binding.controlId());
        binding.setControlHandle(handle);
        bound.push_back(&binding);
        return handle;
    }

    std::shared_ptr<ui::HeadlessControls> controls = std::make_shared<ui::HeadlessControls>();
    std::vector<ControlBinding*> bound;
    ValueGuard packages{AI_PACKAGE_SELECTOR};
    ValueGuard sim{SIM_CHOICE};
    ValueGuard callsign{CALLSIGN_2_OBJECTID};
};

TEST_F(FillComboTest, RangeListAsDecimalsWithCurrentSelectedWhenListed) {
    const auto combo = bind(RANGE);
    RANGE.set(65);
    gf_fillRangeComboBox(RANGE);
    const auto items = controls->items(combo);
    ASSERT_EQ(items.size(), 20U);
    EXPECT_EQ(items.front(), "2");
    EXPECT_EQ(items.back(), "100");
    EXPECT_EQ(controls->currentSelection(combo), 17);
    RANGE.set(7);  // inside the limits, not in the list
    gf_fillRangeComboBox(RANGE);  // a refill starts from an empty list
    EXPECT_EQ(controls->items(combo).size(), 20U);
    EXPECT_EQ(controls->currentSelection(combo), ui::kNoSelection);
}

TEST_F(FillComboTest, NegativeValuesAreWrittenSigned) {
    RangeControlParameter setting("N", -5, {-10, -5, 0}, 7, 7);
    const auto combo = bind(setting);
    gf_fillRangeComboBox(setting);
    EXPECT_EQ(controls->items(combo), (std::vector<std::string>{"-10", "-5", "0"}));
    EXPECT_EQ(controls->currentSelection(combo), 1);
    setting.setControlHandle(ui::kNoControl);
    bound.pop_back();
}

TEST_F(FillComboTest, NothingHappensWithoutALiveControl) {
    // Not yet created: the binding holds no handle.
    const auto unbound = controls->create(ui::ControlKind::ComboBox, RANGE.controlId());
    gf_fillRangeComboBox(RANGE);
    gf_fillChoiceComboBox(SIM_CHOICE);
    EXPECT_TRUE(controls->items(unbound).empty());

    // Created, then destroyed by the window.
    const auto stale = bind(MATCHING_DEPTH);
    controls->destroy(stale);
    gf_fillRangeComboBox(MATCHING_DEPTH);
    EXPECT_FALSE(controls->exists(stale));

    // Created, but no window installed.
    const auto combo = bind(AIRP_RANGE);
    ui::installControls(nullptr);
    gf_fillRangeComboBox(AIRP_RANGE);
    EXPECT_TRUE(controls->items(combo).empty());
}

TEST_F(FillComboTest, ChoiceSelectsTheExactEntryBeforeALongerOne) {
    const auto combo = bind(AI_PACKAGE_SELECTOR);
    AI_PACKAGE_SELECTOR.set("AIG, FSLTL");
    gf_fillChoiceComboBox(AI_PACKAGE_SELECTOR);
    EXPECT_EQ(controls->items(combo), AI_PACKAGE_SELECTOR.values());
    EXPECT_EQ(controls->currentSelection(combo), 48);
    AI_PACKAGE_SELECTOR.set("JF");
    gf_fillChoiceComboBox(AI_PACKAGE_SELECTOR);
    EXPECT_EQ(controls->currentSelection(combo), 62);
}

TEST_F(FillComboTest, ChoiceFallsBackToTheSelectStringRule) {
    const auto combo = bind(SIM_CHOICE);
    SIM_CHOICE.set("msfs 2024");  // differs only in case
    gf_fillChoiceComboBox(SIM_CHOICE);
    EXPECT_EQ(controls->currentSelection(combo), 1);
    SIM_CHOICE.set("MSFS");  // the beginning of an entry
    gf_fillChoiceComboBox(SIM_CHOICE);
    EXPECT_EQ(controls->currentSelection(combo), 0);
    SIM_CHOICE.set("X-Plane");
    gf_fillChoiceComboBox(SIM_CHOICE);
    EXPECT_EQ(controls->items(combo).size(), 2U);
    EXPECT_EQ(controls->currentSelection(combo), ui::kNoSelection);
}

TEST_F(FillComboTest, CallsignListFromItsCurrentChoices) {
    const auto combo = bind(CALLSIGN_2_OBJECTID);
    gf_fillCallsignComboBox();
    EXPECT_TRUE(controls->items(combo).empty());
    EXPECT_EQ(controls->currentSelection(combo), ui::kNoSelection);

    CALLSIGN_2_OBJECTID.setValues({"BAW1", "BAW12", "DLH4"});
    CALLSIGN_2_OBJECTID.set("BAW12");
    gf_fillCallsignComboBox();
    EXPECT_EQ(controls->items(combo), (std::vector<std::string>{"BAW1", "BAW12", "DLH4"}));
    EXPECT_EQ(controls->currentSelection(combo), 1);

    // The reset of the choices: one empty entry, which is the value.
    CALLSIGN_2_OBJECTID.setValues({""});
    CALLSIGN_2_OBJECTID.set("");
    gf_fillCallsignComboBox();
    EXPECT_EQ(controls->items(combo), (std::vector<std::string>{""}));
    EXPECT_EQ(controls->currentSelection(combo), 0);
}

}  // namespace
}  // namespace qvl
