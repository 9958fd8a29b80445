#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/headless_controls.h"

namespace qvl::ui {
namespace {

using Items = std::vector<std::string>;

class HeadlessComboTest : public ::testing::Test {
protected:
    HeadlessControls controls;
    ControlHandle combo = controls.create(ControlKind::ComboBox, 32790);

    void fill(const Items& items) {
        controls.resetContent(combo);
        for (const auto& item : items) {
            controls.addString(combo, item);
        }
    }
};

TEST_F(HeadlessComboTest, ItemsInOrderAndSelectionInsideTheList) {
    EXPECT_TRUE(controls.items(combo).empty());
    EXPECT_EQ(controls.currentSelection(combo), kNoSelection);
    fill({"b", "a", "c"});
    EXPECT_EQ(controls.items(combo), (Items{"b", "a", "c"}));
    controls.setCurrentSelection(combo, 2);
    EXPECT_EQ(controls.currentSelection(combo), 2);
    controls.setCurrentSelection(combo, 3);  // outside the list: cleared
    EXPECT_EQ(controls.currentSelection(combo), kNoSelection);
    controls.setCurrentSelection(combo, 1);
    controls.resetContent(combo);
    EXPECT_TRUE(controls.items(combo).empty());
    EXPECT_EQ(controls.currentSelection(combo), kNoSelection);
}

TEST_F(HeadlessComboTest, SelectStringTakesFirstEntryBeginningWithTextIgnoringCase) {
    fill({"AIG, FSLTL, JF, MTL", "AIG, FSLTL", "MSFS 2020", "MSFS 2024"});
    EXPECT_EQ(controls.selectString(combo, "AIG, FSLTL"), 0);  // a prefix, not the exact entry
    EXPECT_EQ(controls.selectString(combo, "msfs 2024"), 3);
    EXPECT_EQ(controls.currentSelection(combo), 3);
    EXPECT_EQ(controls.selectString(combo, "ms"), 2);
    EXPECT_EQ(controls.selectString(combo, ""), 0);  // every entry begins with nothing
}

TEST_F(HeadlessComboTest, SelectStringWithoutMatchLeavesSelection) {
    fill({"MSFS 2020", "MSFS 2024"});
    controls.setCurrentSelection(combo, 1);
    EXPECT_EQ(controls.selectString(combo, "MSFS 2024 extra"), kNoSelection);
    EXPECT_EQ(controls.selectString(combo, "X"), kNoSelection);
    EXPECT_EQ(controls.currentSelection(combo), 1);
}

TEST(PrefixRule, OnlyAsciiLettersFoldCase) {
    const Items entries{"\xC3\xA9t\xC3\xA9", "Zulu", "[x]"};
    EXPECT_EQ(findPrefixIgnoringCase(entries, "zU"), 1);
    EXPECT_EQ(findPrefixIgnoringCase(entries, "\xC3\xA9"), 0);
    // '[' lies between 'Z' and 'a'; it must not be folded to '{'.
    EXPECT_EQ(findPrefixIgnoringCase(entries, "{"), kNoSelection);
    EXPECT_EQ(findPrefixIgnoringCase(entries, "[X"), 2);
    EXPECT_EQ(findPrefixIgnoringCase({}, ""), kNoSelection);
}

TEST(HeadlessControls, OperationsOfAnotherKindAreIgnored) {
    HeadlessControls controls;
    const ControlHandle box = controls.create(ControlKind::CheckBox, 32771);
    const ControlHandle combo = controls.create(ControlKind::ComboBox, 32818);
    controls.addString(box, "40");
    EXPECT_TRUE(controls.items(box).empty());
    EXPECT_EQ(controls.selectString(box, ""), kNoSelection);
    controls.setChecked(combo, true);
    EXPECT_FALSE(controls.isChecked(combo));
}

TEST(HeadlessControls, StaleHandlesAreIgnoredAndNeverReused) {
    HeadlessControls controls;
    const ControlHandle first = controls.create(ControlKind::ComboBox, 32818);
    controls.destroy(first);
    EXPECT_FALSE(controls.exists(first));
    EXPECT_FALSE(controls.exists(kNoControl));
    controls.addString(first, "2");
    controls.setText(first, "x");
    EXPECT_TRUE(controls.items(first).empty());
    EXPECT_EQ(controls.text(first), "");
    EXPECT_FALSE(controls.isEnabled(first));

    EXPECT_EQ(controls.find(32818), kNoControl);

    const ControlHandle second = controls.create(ControlKind::ComboBox, 32818);
    EXPECT_NE(second, first);
    EXPECT_NE(second, kNoControl);
    EXPECT_EQ(controls.find(32818), second);
}

}  // namespace
}  // namespace qvl::ui
