#include "simlink/package_folders.h"

#include <filesystem>

#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

// The user's application data folders of the fixture and a drive with
// simulator installations.
class PackageFolders : public test::SimLinkTest {
protected:
    // A packages folder holding the given subfolders.
    fs::path packages(const fs::path& where, std::initializer_list<const char*> subfolders) {
        for (const char* s : subfolders) fs::create_directories(where / s);
        return where;
    }
    void writeUserCfg(const fs::path& file, const std::string& packagesLine) {
        fs::create_directories(file.parent_path());
        test::writeFile(file, "Version 63\r\n{Graphics\r\n\tEnabled 1\r\n}\r\n" + packagesLine + "\r\n");
    }
    void pointUserCfgAt(const fs::path& file, const fs::path& folder) {
        writeUserCfg(file, "InstalledPackagesPath \"" + folder.string() + "\"");
    }

    fs::path drive = dir / "drive";
    fs::path storeCfg = local / "Packages" / "Microsoft.FlightSimulator_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
};

TEST_F(PackageFolders, SteamInstallationComesFirstAndNeedsItsCommunity) {
    const fs::path steam = packages(roaming / "Microsoft Flight Simulator" / "Packages", {"Official"});
    const fs::path store = packages(drive / "MSFS Packages", {"Community", "Official"});
    pointUserCfgAt(storeCfg, store);
    ASSERT_TRUE(gf_detectMsfs(link));
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), store.string());

    fs::create_directories(steam / "Community");
    ASSERT_TRUE(gf_detectMsfs(link));
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), steam.string());
    EXPECT_EQ(ALL_INSTALL_PATH.value(), steam.string());
    EXPECT_EQ(rec.savedKeys, (std::vector<std::string>{"MSFS_INSTALL_PATH", "MSFS_INSTALL_PATH"}));
    EXPECT_EQ(gf_simPackagesPath(SimVersion::msfs2020, "Community"), steam / "Community");
}

TEST_F(PackageFolders, UserCfgCandidatesAreTriedInTheirOrder) {
    const fs::path steamCfg = roaming / "Microsoft Flight Simulator" / "UserCfg.opt";
    const fs::path dashboardCfg =
        local / "Packages" / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    const fs::path last = local / "MSFSPackages" / "UserCfg.opt";
    writeUserCfg(last, "x");
    EXPECT_EQ(lf_findUserCfgOpt(SimVersion::msfs2020), last);
    EXPECT_TRUE(logHas("MSFS detection, not found: " + dashboardCfg.string() + "\n"));
    for (const fs::path& cfg : {dashboardCfg, steamCfg, storeCfg}) {
        writeUserCfg(cfg, "x");
        EXPECT_EQ(lf_findUserCfgOpt(SimVersion::msfs2020), cfg);
    }
}

TEST_F(PackageFolders, NewerSimulatorNeedsItsOwnOfficialFolder) {
    link.simVersion.store(SimVersion::msfs2024);
    const fs::path cfg = local / "Packages" / "Microsoft.Limitless_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    pointUserCfgAt(cfg, packages(drive / "Old", {"Community", "Official"}));
    EXPECT_FALSE(gf_detectMsfs(link));
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), "");

    const fs::path newer = packages(drive / "New", {"Community", "Official2024"});
    pointUserCfgAt(cfg, newer);
    ASSERT_TRUE(gf_detectMsfs(link));
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), newer.string());
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), "");
    EXPECT_EQ(gf_simPackagesPath(SimVersion::msfs2024, "StreamedPackages"), newer / "StreamedPackages");
}

TEST_F(PackageFolders, UnquotedLineNamesTheFolderAfterTheKeyInUtf8) {
    const fs::path folder = packages(drive / "Simulátor Über", {"Community", "Official"});
    writeUserCfg(storeCfg, "InstalledPackagesPath   " + folder.string() + "  ");
    ASSERT_TRUE(gf_detectMsfs(link));
    EXPECT_EQ(MSFS_INSTALL_PATH.value(), folder.string());
    EXPECT_NE(MSFS_INSTALL_PATH.value().find("\xC3\xA1"), std::string::npos);

    EXPECT_EQ(installedPackagesValue("InstalledPackagesPath \"D:\\MSFS\\Packages\""), "D:\\MSFS\\Packages");
    EXPECT_EQ(installedPackagesValue("InstalledPackagesPath \"/a b/c\" trailing \"x\""), "/a b/c");
    EXPECT_EQ(installedPackagesValue("InstalledPackagesPath \"/never/closed"), "");
    EXPECT_EQ(installedPackagesValue("InstalledPackagesPath /x\""), "");
    EXPECT_EQ(installedPackagesValue("\tInstalledPackagesPath /plain/folder \t"), "/plain/folder");
}

TEST_F(PackageFolders, MissingOrUselessUserCfgOrFolder) {
    EXPECT_FALSE(gf_detectMsfs(link));
    EXPECT_TRUE(logHas("No UserCfg.opt found?\n"));

    writeUserCfg(storeCfg, "PackagesPath \"/x\"");  // no line with the key
    EXPECT_TRUE(lf_readInstalledPackagesPath(SimVersion::msfs2020).empty());
    EXPECT_TRUE(logHas("UserCfg.opt: InstalledPackagesPath=???\n"));

    pointUserCfgAt(storeCfg, drive / "gone");
    EXPECT_FALSE(gf_detectMsfs(link));
    EXPECT_TRUE(logHas("UserCfg.opt: InstalledPackagesPath=" + (drive / "gone").string() + "\n"));
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "");
    // A folder name too long for the file system is "not there", not a crash.
    pointUserCfgAt(storeCfg, drive / std::string(5000, 'x'));
    EXPECT_NO_THROW(EXPECT_FALSE(gf_detectMsfs(link)));

    EXPECT_FALSE(lf_packagesPathValid(SimVersion::msfs2020, {}));  // not the working folder
    test::writeFile(dir / "a file", "");
    EXPECT_FALSE(lf_packagesPathValid(SimVersion::msfs2020, dir / "a file"));
}

}  // namespace
}  // namespace qvl
