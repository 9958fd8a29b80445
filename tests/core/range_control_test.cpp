#include "core/range_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "core/messages.h"
#include "core/settings.h"
#include "core/support/bound_controls.h"
#include "support/fake_status.h"
#include "support/settings_scope.h"

namespace qvl {
namespace {

class RangeControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetAllSettings();
        resetMessages();
    }
    void TearDown() override { resetMessages(); }
    test::SettingsScope settings;
    test::BoundControls window;
    // Forwards to the controls as the program's status does, and records.
    test::FakeStatus status{window.controls()};
    RangeControl control{[] { return std::optional<AutoRangeInputs>{}; }};
};

TEST_F(RangeControlTest, SetRangeClampsSelectsAndMovesTheTrafficRadius) {
    const auto combo = window.combo(RANGE);
    EXPECT_EQ(gf_setRange(25, status), 46300);
    EXPECT_EQ(RANGE.value(), 25);
    EXPECT_EQ(window.selected(combo), "25");
    EXPECT_EQ(rangeNm.load(), 25.0);
    ASSERT_FALSE(status.settingsShown.empty()) << "the drop-down hears of the radius through the status";
    EXPECT_EQ(status.settingsShown.back(), &RANGE);

    EXPECT_EQ(gf_setRange(7, status), 12964) << "a value between the listed ones is kept";
    EXPECT_EQ(window.selected(combo), "25") << "and leaves the selection";

    EXPECT_EQ(gf_setRange(500, status), 185200);
    EXPECT_EQ(RANGE.value(), 100);
    EXPECT_EQ(rangeNm.load(), 100.0) << "the radius is the clamped one";
    EXPECT_EQ(window.selected(combo), "100");
    EXPECT_EQ(gf_setRange(-4, status), 3704);
    EXPECT_EQ(RANGE.value(), 2);
}

TEST_F(RangeControlTest, AutomaticRadiusFollowsGroundHeightAndAirportDistance) {
    EXPECT_EQ(autoRangeNm({.onGround = true, .heightAboveGroundFeet = 90000, .parkAirportDistanceNm = 50}), 10);
    EXPECT_EQ(autoRangeNm({.onGround = false, .heightAboveGroundFeet = 48001, .parkAirportDistanceNm = 2}), 100);
    EXPECT_EQ(autoRangeNm({.onGround = false, .heightAboveGroundFeet = 48000, .parkAirportDistanceNm = 2}), 40);
    EXPECT_EQ(autoRangeNm({.onGround = false, .heightAboveGroundFeet = 18000, .parkAirportDistanceNm = 2}), 10);
    struct Case {
        double distance;
        std::int32_t radius;
    };
    for (const Case c : {Case{7.0, 10}, Case{7.01, 8}, Case{8.0, 8}, Case{8.5, 10}, Case{10.4, 10}, Case{11.0, 12},
                         Case{20.6, 20}, Case{32.4, 30}, Case{32.5, 35}, Case{36.99, 35}, Case{37.0, 40},
                         Case{std::numeric_limits<double>::quiet_NaN(), 40}}) {
        EXPECT_EQ(autoRangeNm({.onGround = false, .heightAboveGroundFeet = 0, .parkAirportDistanceNm = c.distance}),
                  c.radius)
            << c.distance;
    }
    EXPECT_EQ(autoRangeNm({.onGround = false, .heightAboveGroundFeet = 0, .parkAirportDistanceNm = std::nullopt}), 40)
        << "no park airport counts as far away";
}

TEST_F(RangeControlTest, ApplyAutoRangeRemembersTheUsersRadiusAndGoesBackToIt) {
    const auto combo = window.combo(RANGE);
    RangeControl eightMilesOut(
        [] { return AutoRangeInputs{.onGround = false, .heightAboveGroundFeet = 0, .parkAirportDistanceNm = 8.0}; });
    gf_setRange(65, status);
    AUTO_RANGE.set(true);
    gf_applyAutoRange(eightMilesOut, status);
    EXPECT_EQ(eightMilesOut.savedRangeNm(), 65);
    EXPECT_EQ(RANGE.value(), 8);
    EXPECT_FALSE(window.controls().isEnabled(combo)) << "the radius is the program's while automatic";
    EXPECT_EQ(status.usableStates(RANGE), std::vector<bool>{false}) << "told through the status";

    gf_showMessage("stale", MessageLogging::notLogged);
    AUTO_RANGE.set(false);
    gf_applyAutoRange(eightMilesOut, status);
    EXPECT_EQ(RANGE.value(), 65);
    EXPECT_EQ(rangeMeters(), 65 * 1852);
    EXPECT_TRUE(window.controls().isEnabled(combo));
    EXPECT_EQ(messageLines().message, "");
}

TEST_F(RangeControlTest, WithoutInputsTheAutomaticRadiusLeavesTheRadius) {
    gf_setRange(30, status);
    AUTO_RANGE.set(true);
    gf_applyAutoRange(control, status);
    EXPECT_EQ(RANGE.value(), 30);
    lf_updateAutoRange(control, status);
    EXPECT_EQ(RANGE.value(), 30);
    control.setSavedRangeNm(12);
    control.reset();
    EXPECT_EQ(control.savedRangeNm(), 40) << "RANGE's default";
}

// An automatic radius that nobody gives inputs would never change.
TEST_F(RangeControlTest, AControlWithoutAnInputSourceCannotBeBuilt) {
    EXPECT_THROW(RangeControl(RangeControl::InputSource{}), std::invalid_argument);
}

TEST_F(RangeControlTest, MaxFitMapsToTheHoursOfTheDropDown) {
    struct Case {
        std::int32_t maxFit;
        float hours;
    };
    // The ends of the list and the steps where the hours change pace.
    for (const Case c : {Case{47, 24.0F}, Case{44, 24.0F}, Case{43, 21.0F}, Case{21, 11.0F}, Case{20, 11.0F},
                         Case{8, 4.5F}, Case{1, 1.0F}, Case{0, 0.5F}, Case{-5, 0.5F}}) {
        EXPECT_EQ(gf_maxFitToFloat(c.maxFit), c.hours) << c.maxFit;
    }
}

TEST_F(RangeControlTest, SelectMaxFitFlKeepsTheSelectionForHoursTheListLacks) {
    const auto combo = window.combo(MAX_FIT_FL);
    MAX_FIT.set(9);
    gf_selectMaxFitFl(status);
    EXPECT_EQ(MAX_FIT_FL.floatValue(), 5.0F);
    const int fiveHours = window.controls().currentSelection(combo);
    EXPECT_EQ(fiveHours, 9);
    EXPECT_EQ(status.settingsShown, std::vector<const ControlBinding*>{&MAX_FIT_FL});
    MAX_FIT.set(20);
    gf_selectMaxFitFl(status);
    EXPECT_EQ(MAX_FIT_FL.floatValue(), 11.0F);
    EXPECT_EQ(window.controls().currentSelection(combo), fiveHours) << "11 hours is not listed";
}

}  // namespace
}  // namespace qvl
