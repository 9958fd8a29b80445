#include <gtest/gtest.h>

#include <cstdlib>

#include "core/support/logged_folder.h"
#include "run/window/shell.h"

namespace qvl {
namespace {

class Shell : public test::LoggedFolder {
protected:
    void SetUp() override { setenv("QVL_SHELL_OPEN_LOG", (dir / "opened.txt").c_str(), 1); }
    void TearDown() override {
        unsetenv("QVL_SHELL_OPEN_LOG");
        unsetenv("QVL_ROAMING_DIR");
        unsetenv("QVL_LOCAL_DIR");
    }
    std::string opened() const { return test::readFile(dir / "opened.txt"); }
};

TEST_F(Shell, OpensTheFolderOfAnExistingFileOnly) {
    std::filesystem::create_directories(dir / "tblo");
    test::writeFile(dir / "tblo" / "tblo.zip", "zip");
    EXPECT_FALSE(gf_openWithShell(dir / "tblo" / "missing.zip"));
    EXPECT_EQ(opened(), "");
    EXPECT_TRUE(gf_openWithShell(dir / "tblo" / "tblo.zip"));
    EXPECT_EQ(opened(), "open " + (dir / "tblo").string() + "\n");
}

TEST_F(Shell, MissingApplicationDataFolderGivesEmptyPathAndOneProblemLine) {
    setenv("QVL_ROAMING_DIR", (dir / "absent").c_str(), 1);
    EXPECT_EQ(gf_appDataPath(), std::filesystem::path());
    EXPECT_TRUE(logged("==> Could not find the AppData path\n"));
    setenv("QVL_LOCAL_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(gf_localAppDataPath(), dir.path());
    EXPECT_FALSE(logged("Local AppData"));
}

}  // namespace
}  // namespace qvl
