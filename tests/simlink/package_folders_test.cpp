#include "simlink/package_folders.h"

#include <cstdlib>
#include <filesystem>

#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// A user account in a temporary folder: roaming and local application data
// and a drive with simulator installations.
class PackageFolders : public test::SimLinkTest {
protected:
    void SetUp() override {
        test::SimLinkTest::SetUp();
        roaming = dir / "roaming";
        local = dir / "local";
        drive = dir / "drive";
        for (const auto& p : {roaming, local, drive}) fs::create_directories(p);
        ::setenv("QVL_ROAMING_DIR", roaming.c_str(), 1);
        ::setenv("QVL_LOCAL_DIR", local.c_str(), 1);
        MSFS_INSTALL_PATH.set("");
        MSFS_2024_INSTALL_PATH.set("");
        ALL_INSTALL_PATH.set("");
    }
    void TearDown() override {
        ::unsetenv("QVL_ROAMING_DIR");
        ::unsetenv("QVL_LOCAL_DIR");
        MSFS_INSTALL_PATH.set("");
        MSFS_2024_INSTALL_PATH.set("");
        ALL_INSTALL_PATH.set("");
        test::SimLinkTest::TearDown();
    }
    // A packages folder holding the given subfolders.
    fs::path packages(const fs::path& where, std::initializer_list<const char*> subfolders) {
        for (const char* s : subfolders) fs::create_directories(where / s);
        fs::create_directories(where);
        return where;
    }
    fs::path storeUserCfg() {
        return local / "Packages" / "Microsoft.FlightSimulator_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    }
    void writeUserCfg(const fs::path& file, const std::string& packagesLine) {
        fs::create_directories(file.parent_path());
        test::writeFile(file, "Version 63\r\n{Graphics\r\n\tEnabled 1\r\n}\r\n" + packagesLine + "\r\n");
    }

    fs::path roaming, local, drive;
};

TEST_F(PackageFolders, SteamInstallationComesFirstAndNeedsItsCommunity) {
    const fs::path steam = packages(roaming / "Microsoft Flight Simulator" / "Packages", {"Official"});
    const fs::path store = packages(drive / "MSFS Packages", {"Community", "Official"});
    writeUserCfg(storeUserCfg(), "InstalledPackagesPath \"" + store.string() + "\"");
    ASSERT_TRUE(gf_detectMsfs());
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), store.string());
    EXPECT_TRUE(logHas("UserCfg.opt: InstalledPackagesPath=" + store.string() + "\n"));

    fs::create_directories(steam / "Community");
    ASSERT_TRUE(gf_detectMsfs());
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), steam.string());
    EXPECT_EQ(ALL_INSTALL_PATH.value(), steam.string());
    ASSERT_EQ(rec.savedSettings.size(), 2u);
    EXPECT_EQ(rec.savedSettings[1].first, "MSFS_INSTALL_PATH");
    EXPECT_TRUE(logHas("Steam packages: " + steam.string() + "\n"));
    EXPECT_EQ(gf_simPackagesPath("Community"), steam / "Community");
}

TEST_F(PackageFolders, UserCfgCandidatesAreTriedInTheirOrder) {
    const fs::path steamCfg = roaming / "Microsoft Flight Simulator" / "UserCfg.opt";
    const fs::path dashboardCfg = local / "Packages" / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    const fs::path last = local / "MSFSPackages" / "UserCfg.opt";
    writeUserCfg(last, "x");
    EXPECT_EQ(lf_findUserCfgOpt(), last);
    const std::string all = log();
    const auto notFound = [&](const fs::path& p) { return all.find("MSFS detection, not found: " + p.string() + "\n"); };
    EXPECT_LT(notFound(storeUserCfg()), notFound(steamCfg));
    EXPECT_LT(notFound(steamCfg), notFound(dashboardCfg));
    EXPECT_NE(notFound(dashboardCfg), std::string::npos);
    for (const fs::path& cfg : {dashboardCfg, steamCfg, storeUserCfg()}) {
        writeUserCfg(cfg, "x");
        EXPECT_EQ(lf_findUserCfgOpt(), cfg);
    }
}

TEST_F(PackageFolders, NewerSimulatorNeedsItsOwnOfficialFolder) {
    simIs2020.store(false);
    const fs::path onlyOld = packages(drive / "Old", {"Community", "Official"});
    const fs::path cfg = local / "Packages" / "Microsoft.Limitless_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    writeUserCfg(cfg, "InstalledPackagesPath \"" + onlyOld.string() + "\"");
    EXPECT_FALSE(gf_detectMsfs());
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), "");

    const fs::path newer = packages(drive / "New", {"Community", "Official2024"});
    writeUserCfg(cfg, "InstalledPackagesPath \"" + newer.string() + "\"");
    ASSERT_TRUE(gf_detectMsfs());
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), newer.string());
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), "");
    EXPECT_EQ(gf_simPackagesPath("StreamedPackages"), newer / "StreamedPackages");
}

TEST_F(PackageFolders, UnquotedLineNamesTheFolderAfterTheKeyInUtf8) {
    const fs::path folder = packages(drive / "Simulátor Über", {"Community", "Official"});
    writeUserCfg(storeUserCfg(), "InstalledPackagesPath   " + folder.string() + "  ");
    ASSERT_TRUE(gf_detectMsfs());
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), folder.string());
    EXPECT_NE(MSFS_INSTALL_PATH.value().find("\xC3\xA1"), std::string::npos);
}

TEST_F(PackageFolders, ValueOfThePackagesLine) {
    EXPECT_EQ(lf_installedPackagesValue("InstalledPackagesPath \"D:\\MSFS\\Packages\""), "D:\\MSFS\\Packages");
    EXPECT_EQ(lf_installedPackagesValue("InstalledPackagesPath \"/a b/c\" trailing \"x\""), "/a b/c");
    EXPECT_EQ(lf_installedPackagesValue("InstalledPackagesPath \"/never/closed"), "");
    EXPECT_EQ(lf_installedPackagesValue("InstalledPackagesPath /x\""), "");
    EXPECT_EQ(lf_installedPackagesValue("\tInstalledPackagesPath /plain/folder \t"), "/plain/folder");
}

TEST_F(PackageFolders, MissingOrUselessUserCfg) {
    EXPECT_FALSE(gf_detectMsfs());
    EXPECT_TRUE(logHas("No UserCfg.opt found?\n"));

    writeUserCfg(storeUserCfg(), "PackagesPath \"/x\"");  // no line with the key
    EXPECT_TRUE(lf_readInstalledPackagesPath().empty());
    EXPECT_TRUE(logHas("UserCfg.opt: InstalledPackagesPath=???\n"));

    writeUserCfg(storeUserCfg(), "InstalledPackagesPath \"" + (drive / "gone").string() + "\"");
    EXPECT_TRUE(lf_readInstalledPackagesPath().empty());
    EXPECT_TRUE(logHas("UserCfg.opt: InstalledPackagesPath=" + (drive / "gone").string() + "\n"));
    EXPECT_FALSE(gf_detectMsfs());
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "");

    // A folder name too long for the file system is "not there", not a crash.
    writeUserCfg(storeUserCfg(), "InstalledPackagesPath \"" + (drive / std::string(5000, 'x')).string() + "\"");
    EXPECT_NO_THROW(EXPECT_FALSE(gf_detectMsfs()));
}

TEST_F(PackageFolders, ValidityAndThePathsBelowTheInstallation) {
    EXPECT_FALSE(lf_packagesPathValid({}));
    EXPECT_FALSE(lf_packagesPathValid(drive / "none"));
    EXPECT_FALSE(lf_packagesPathValid(packages(drive / "a", {"Official"})));
    test::writeFile(drive / "c", "a file");
    EXPECT_FALSE(lf_packagesPathValid(drive / "c"));
    EXPECT_EQ(gf_simPackagesPath("Community"), fs::path("Community"));
    MSFS_INSTALL_PATH.set("/sim/2020");
    MSFS_2024_INSTALL_PATH.set("/sim/2024");
    EXPECT_EQ(gf_simPackagesPath("Official"), fs::path("/sim/2020/Official"));
    simIs2020.store(false);
    EXPECT_EQ(gf_simPackagesPath("Official2024"), fs::path("/sim/2024/Official2024"));
}

}  // namespace
}  // namespace qvl
