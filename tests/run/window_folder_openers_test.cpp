#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/paths.h"
#include "core/support/settings_fixture.h"
#include "platform/ui/headless_window.h"
#include "run/window/folder_openers.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// A window that holds nothing: it is never painted or closed in these tests.
class NoEvents final : public ui::WindowEvents {
public:
    void onClose() override {}
    void onPaint(ui::Canvas& /*canvas*/) override {}
    void onCallbackException(const std::exception_ptr& /*error*/) noexcept override {
        ADD_FAILURE() << "a callback threw";
    }
};

constexpr const char* kNeedsAdmin = "A new version is available. Run the installer as Administrator";
constexpr const char* kNoAdmin =
    "A new version is available.\nThe installer can be executed normally (no Administrator rights required).";

// The window's message boxes and the file manager's requests, both recorded.
class FolderOpeners : public test::SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        setenv("QVL_SHELL_OPEN_LOG", (dir / "opened.txt").c_str(), 1);
        ASSERT_TRUE(window->open({.title = "Quorvelant", .width = 880, .height = 516}, events));
    }
    void TearDown() override {
        unsetenv("QVL_SHELL_OPEN_LOG");
        SettingsFolder::TearDown();
    }
    std::string opened() const { return fs::exists(dir / "opened.txt") ? test::readFile(dir / "opened.txt") : ""; }
    std::vector<ui::DialogSpec> dialogs() {
        window->processPendingEvents();
        return window->dialogs();
    }

    NoEvents events;
    std::shared_ptr<ui::HeadlessWindow> window = std::make_shared<ui::HeadlessWindow>();
};

TEST_F(FolderOpeners, OpenTheFoldersOfParametersAndManual) {
    test::writeFile(parametersFile(), "<parameters/>");
    fs::create_directories(dir / "docs");
    test::writeFile(dir / "docs" / "Manual.pdf", "%PDF");
    EXPECT_TRUE(gf_openParametersFolder(*window));
    EXPECT_TRUE(gf_openManual(*window));
    EXPECT_EQ(opened(), "open " + productFolder().string() + "\nopen " + (dir.path() / "docs").string() + "\n");
    EXPECT_TRUE(dialogs().empty());
}

TEST_F(FolderOpeners, MissingFilesShowAWarningBoxAndOpenNothing) {
    EXPECT_FALSE(gf_openManual(*window));
    EXPECT_FALSE(gf_openParametersFolder(*window));
    EXPECT_EQ(opened(), "");
    const auto shown = dialogs();
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_EQ(shown[0].text, "Could not open local folder with Manual");
    EXPECT_EQ(shown[1].text, "Could not open folder with parameters.xml");
    EXPECT_EQ(shown[0].caption, "QVLT");
    EXPECT_EQ(shown[0].icon, ui::DialogIcon::Warning);
    EXPECT_TRUE(logged("Could not open local folder with Manual"));
}

TEST(ProgramFilesFolder, ComparesComponentsWithoutCaseAndEitherSeparator) {
    EXPECT_TRUE(isInsideFolder("C:\\Program Files\\Quorvelant", "C:\\Program Files"));
    EXPECT_TRUE(isInsideFolder("c:/program files/Quorvelant", "C:\\Program Files\\"));
    EXPECT_TRUE(isInsideFolder("C:\\Program Files", "C:\\Program Files"));
    EXPECT_FALSE(isInsideFolder("C:\\Program Files (x86)\\Quorvelant", "C:\\Program Files"));
    EXPECT_FALSE(isInsideFolder("C:\\Program FilesX\\Quorvelant", "C:\\Program Files"));
    EXPECT_FALSE(isInsideFolder("D:\\Games\\Quorvelant", "C:\\Program Files"));
    EXPECT_FALSE(isInsideFolder("C:\\Program Files\\Quorvelant", ""));
}

class InstallerRights : public test::LoggedFolder {
protected:
    InstallRights rights(bool elevated) {
        return {.programFilesFolders = {dir.path()}, .processElevated = [elevated] { return elevated; }};
    }
    // A program folder no file can be created in, whoever runs the test:
    // its name is taken by a file.
    fs::path lockedFolder() {
        fs::path locked = dir / "Quorvelant";
        test::writeFile(locked, "not a folder");
        return locked;
    }
};

TEST_F(InstallerRights, OutsideProgramFilesNeedsNoAdministratorWritableOrNot) {
    const fs::path locked = lockedFolder();
    const InstallRights elsewhere{.programFilesFolders = {dir / "Program Files"},
                                  .processElevated = [] { return false; }};
    EXPECT_EQ(gf_checkNewVersionRights(locked, elsewhere), kNoAdmin);
    EXPECT_EQ(gf_checkNewVersionRights(dir.path(), elsewhere), kNoAdmin);
    // Linux knows no Program Files folders.
    EXPECT_EQ(gf_checkNewVersionRights(locked), kNoAdmin);
}

TEST_F(InstallerRights, InsideProgramFilesTheProgramsOwnFolderDecides) {
    const fs::path writable = dir / "Writable";
    fs::create_directories(writable);
    EXPECT_EQ(gf_checkNewVersionRights(writable, rights(false)), kNoAdmin);
    EXPECT_FALSE(fs::exists(writable / ".write_test.tmp"));
    const fs::path locked = lockedFolder();
    EXPECT_EQ(gf_checkNewVersionRights(locked, rights(false)), kNeedsAdmin);
    EXPECT_EQ(gf_checkNewVersionRights(locked, rights(true)), kNoAdmin);
    // A missing folder cannot take the installer either.
    EXPECT_EQ(gf_checkNewVersionRights(dir / "absent", rights(false)), kNeedsAdmin);
}

}  // namespace
}  // namespace qvl
