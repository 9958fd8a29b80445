#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "core/messages.h"
#include "core/support/bound_controls.h"
#include "core/support/settings_fixture.h"
#include "run/window/edit_fields.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// The three edits and the buttons they switch in a headless window, the
// settings saved into a temporary parameters.xml.
class EditFieldsTest : public test::SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        resetMessages();
        for (StringControlParameter* edit : {&BLOCK_CALLSIGN, &DESTINATION, &ALL_INSTALL_PATH}) {
            edits[edit] = bound.bind(*edit, ui::ControlKind::Edit);
        }
        unblock = bound.button(UNBLOCK_BUTTON);
        reread = bound.button(REREAD_BUTTON);
        bound.controls().setEnabled(reread, true);
        fields = std::make_unique<EditFields>(EditFieldOwners{
            .run = run,
            .flags = flags,
            .controls = bound.controls(),
            .simVersion = [this] { return sim; },
            .airportPosition = [](const FixedCode4& code) -> std::optional<GeoPosition> {
                if (code == FixedCode4("EDDF")) return GeoPosition{.latitude = 50.03, .longitude = 8.57};
                return std::nullopt;
            },
            .pushParkAirport = [this](const FixedCode4& code, const GeoPosition&) { pushed.push_back(code); }});
    }
    // The user types the text and presses Enter.
    void enter(StringControlParameter& edit, const std::string& text) {
        bound.controls().setText(edits[&edit], text);
        fields->lf_editSubclassProc(edit.controlId());
    }
    std::string shown(StringControlParameter& edit) { return bound.controls().text(edits[&edit]); }
    std::string message() { return messageLines().message; }
    bool saved(std::string_view key, std::string_view value) {
        return file().find(fmt::format(R"(name="{}" value="{}")", key, value)) != std::string::npos;
    }

    test::BoundControls bound;
    std::map<StringControlParameter*, ui::ControlHandle> edits;
    ui::ControlHandle unblock = ui::kNoControl;
    ui::ControlHandle reread = ui::kNoControl;
    RunState run;
    CommandFlags flags;
    SimVersion sim = SimVersion::msfs2020;
    std::vector<FixedCode4> pushed;
    std::unique_ptr<EditFields> fields;
};

TEST_F(EditFieldsTest, CommunityFolderOrItsParentStoreTheSameFolderAndRestart) {
    const fs::path packages = dir / "Packages";
    fs::create_directories(packages / "Community");
    enter(ALL_INSTALL_PATH, (packages / "Community").string() + "/");
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), packages.string());
    EXPECT_TRUE(saved("MSFS_INSTALL_PATH", packages.string()));
    EXPECT_EQ(message(), "Community path found, Quorvelant will restart ...");
    EXPECT_EQ(run.restartReason.load(), RestartReason::newSettings);
    EXPECT_EQ(run.restartDelay.load(), 3);

    sim = SimVersion::msfs2024;
    enter(ALL_INSTALL_PATH, packages.string());
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), packages.string());
}

TEST_F(EditFieldsTest, InstallPathsWithoutCommunityAreRefusedAndEmptyClears) {
    MSFS_INSTALL_PATH.set("/old");
    fs::create_directories(dir / "plain");
    enter(ALL_INSTALL_PATH, (dir / "plain").string());
    EXPECT_EQ(message(), "This path exists but is not a path to Community ...");
    EXPECT_EQ(shown(ALL_INSTALL_PATH), "/old") << "the field shows the stored path again";
    enter(ALL_INSTALL_PATH, (dir / "absent").string());
    EXPECT_EQ(message(), "This install path does not exist: " + (dir / "absent").string());
    EXPECT_EQ(shown(ALL_INSTALL_PATH), "/old");
    fs::create_directories(dir / "lone" / "Community");
    fs::remove(dir / "lone" / "Community");
    test::writeFile(dir / "lone" / "Community", "a file, not a folder");
    enter(ALL_INSTALL_PATH, (dir / "lone" / "Community").string());
    EXPECT_EQ(message(), "This path does not contain a valid Community folder (unexpected).");
    EXPECT_EQ(shown(ALL_INSTALL_PATH), "/old");
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), "/old");
    EXPECT_FALSE(run.isClosing());

    enter(ALL_INSTALL_PATH, "");
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), "");
    EXPECT_TRUE(saved("MSFS_INSTALL_PATH", ""));
    EXPECT_FALSE(run.isClosing());
}

TEST_F(EditFieldsTest, CallsignIsStoredUpperCaseAndBadOnesAreRefused) {
    enter(BLOCK_CALLSIGN, "abc");
    EXPECT_EQ(message(), "callsign 'abc' is not valid");
    enter(BLOCK_CALLSIGN, "ABCDEFGHI");
    EXPECT_EQ(message(), "callsign 'ABCDEFGHI' is not valid");
    EXPECT_EQ(shown(BLOCK_CALLSIGN), "");
    EXPECT_FALSE(flags.blockListChanged.load());

    enter(BLOCK_CALLSIGN, "dlh4ab");
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "DLH4AB");
    EXPECT_TRUE(saved("BLOCK_CALLSIGN", "DLH4AB"));
    EXPECT_EQ(shown(BLOCK_CALLSIGN), "DLH4AB");
    EXPECT_TRUE(bound.controls().isEnabled(unblock));
    EXPECT_TRUE(flags.blockListChanged.exchange(false));
    EXPECT_FALSE(flags.callsignListRequest.load());

    enter(BLOCK_CALLSIGN, "DLH4AB");
    EXPECT_EQ(message(), "callsign 'DLH4AB' was already set ...");
    EXPECT_FALSE(flags.blockListChanged.load());
}

TEST_F(EditFieldsTest, BlockingTheFollowedCallsignRefillsTheChoicesAndEmptyUnblocks) {
    CALLSIGN_2_OBJECTID.set("BAW12");
    enter(BLOCK_CALLSIGN, "baw12");
    EXPECT_TRUE(flags.callsignListRequest.load());
    flags.blockListChanged = false;

    enter(BLOCK_CALLSIGN, "");
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "");
    EXPECT_TRUE(saved("BLOCK_CALLSIGN", ""));
    EXPECT_EQ(message(), "no more blocking of live aircraft 'BAW12'");
    EXPECT_FALSE(bound.controls().isEnabled(unblock));
    EXPECT_TRUE(flags.blockListChanged.load());
}

TEST_F(EditFieldsTest, DestinationsAreCheckedAndAKnownOneBecomesTheParkAirport) {
    enter(DESTINATION, "EDD");
    EXPECT_EQ(message(), "destination 'EDD' is not valid");
    enter(DESTINATION, "EDDFX");
    EXPECT_EQ(message(), "destination 'EDDFX' is not valid");
    enter(DESTINATION, "ED-F");
    EXPECT_EQ(message(), "destination 'ED-F' is not valid");
    enter(DESTINATION, "zzzz");
    EXPECT_EQ(message(), "destination 'ZZZZ' is unknown ...");
    EXPECT_EQ(shown(DESTINATION), "");
    EXPECT_TRUE(pushed.empty());

    enter(DESTINATION, "eddf");
    EXPECT_EQ(DESTINATION.value(), "EDDF");
    EXPECT_TRUE(saved("DESTINATION", "EDDF"));
    EXPECT_EQ(message(), "New destination: EDDF");
    ASSERT_EQ(pushed.size(), 1U);
    EXPECT_EQ(pushed[0], FixedCode4("EDDF"));
    EXPECT_FALSE(bound.controls().isEnabled(reread));

    enter(DESTINATION, "EDDF");
    EXPECT_EQ(message(), "destination 'EDDF' was already set ...");
    EXPECT_EQ(pushed.size(), 1U);

    enter(DESTINATION, "");
    EXPECT_EQ(DESTINATION.value(), "");
    EXPECT_EQ(message(), "destination set to empty");
    EXPECT_TRUE(bound.controls().isEnabled(reread));
}

TEST(EditFieldsWiring, MissingFunctionsAreNamed) {
    RunState run;
    CommandFlags flags;
    ui::HeadlessControls controls;
    EXPECT_THROW(EditFields(EditFieldOwners{.run = run, .flags = flags, .controls = controls}), std::logic_error);
}

}  // namespace
}  // namespace qvl
