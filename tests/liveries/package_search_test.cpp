#include "liveries/package_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/support/settings_fixture.h"
#include "core/user_error.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

class PackageSearchTest : public test::SettingsFolder {
protected:
    fs::path community() const { return dir / "Community"; }
    fs::path package(const std::string& name) const {
        const fs::path folder = community() / name;
        fs::create_directories(folder);
        return folder;
    }
    static void cfg(const fs::path& file) {
        fs::create_directories(file.parent_path());
        writeFile(file, "[fltsim.0]\ntitle=x\n");
    }
    // The files a walk hands over, relative to the package folder.
    static std::vector<std::string> walked(const fs::path& root) {
        std::vector<std::string> files;
        walkAircraftCfgFiles(root, [&](const CfgFileEntry& entry) {
            files.push_back(fs::relative(entry.path, root).generic_string() +
                            (entry.kind == CfgFileKind::ivao ? " (ivao)" : ""));
            return true;
        });
        return files;
    }
    static LiveryData livery(const std::string& title, std::uint16_t airline, std::uint16_t model, std::int16_t folder,
                             std::uint8_t cargo = 0) {
        return {.title = title,
                .registration = {},
                .key = {.airlineId = airline, .secondAirlineId = 0, .modelId = model, .cargo = cargo, .marker = 0},
                .folderIndex = folder};
    }
};

TEST_F(PackageSearchTest, DetectorsRunInTheSelectorsOrderThenTheUsersOwnPackage) {
    const fs::path mtl = package("IVAO_MTL");
    const fs::path aig = package("aig-aitraffic-oci-beta");
    package("fsltl-traffic-base_CVT_copy");  // a converted copy is never taken
    const fs::path user = package("user-aitraffic");
    AI_PACKAGE_SELECTOR.set("MTL, AIG");
    PackageFolderList folders;
    lf_collectPackageFolders(community(), folders);
    EXPECT_EQ(folders, (PackageFolderList{mtl, aig, user}));
    EXPECT_TRUE(logged("Automatic IVAO_MTL scan found folder: '" + mtl.string() + "'"));

    AI_PACKAGE_SELECTOR.set("FSLTL");
    folders.clear();
    lf_collectPackageFolders(community(), folders);
    EXPECT_EQ(folders, (PackageFolderList{user}));

    AI_PACKAGE_SELECTOR.set("AIG, AIG");
    EXPECT_THROW(lf_collectPackageFolders(community(), folders), std::runtime_error);
}

TEST_F(PackageSearchTest, OfTwoAigFoldersOnlyTheFirstInNameOrderIsTaken) {
    const fs::path first = package("aig-aitraffic-oci-beta");
    package("aig-aitraffic-oci-main");
    AI_PACKAGE_SELECTOR.set("AIG");
    PackageFolderList folders;
    lf_collectPackageFolders(community(), folders);
    EXPECT_EQ(folders, (PackageFolderList{first}));
}

TEST_F(PackageSearchTest, ACommunityFolderThatCannotBeListedIsLoggedAndGivesNoFolder) {
    PackageFolderList folders;
    EXPECT_NO_THROW(lf_collectPackageFolders(dir / "none", folders));
    EXPECT_NO_THROW(lf_findAigFolder(dir / "none", folders));
    EXPECT_TRUE(folders.empty());
    EXPECT_TRUE(logged("liveries scan: folder passed over: "));
}

TEST_F(PackageSearchTest, NamesThatAreNoUtf8AreNeitherTakenNorEnteredButLogged) {
    package("aig-aitraffic-oci-a\xFF");  // first in name order
    const fs::path aig = package("aig-aitraffic-oci-b");
    PackageFolderList folders;
    lf_findAigFolder(community(), folders);
    EXPECT_EQ(folders, (PackageFolderList{aig}));
    EXPECT_TRUE(logged("liveries scan: 1 entry of " + community().string() + " passed over: the name is not UTF-8"));

    cfg(aig / "bad\xE9name" / "aircraft.cfg");
    cfg(aig / "good" / "aircraft.cfg");
    test::writeFile(aig / "good" / "x\xC0", "");
    EXPECT_EQ(walked(aig), (std::vector<std::string>{"good/aircraft.cfg"}));
    EXPECT_TRUE(logged("liveries scan: 1 entry of " + (aig / "good").string() + " passed over"));
}

TEST_F(PackageSearchTest, ManualFoldersMustExist) {
    const fs::path first = package("mine");
    lfolder0.set(first.string());
    lfolder3.set((dir / "gone").string());
    PackageFolderList folders;
    try {
        lf_checkLfolderPath(folders);
        FAIL() << "no error";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(e.code(), 243);
        EXPECT_STREQ(e.what(), "243: the path pointed to by parameter 'lfolder3' does not exist, see Log.txt!");
    }
    EXPECT_TRUE(logged("==> lfolder3: '" + (dir / "gone").string() + "' does not exist"));
    lfolder3.set("");
    folders.clear();
    lf_checkLfolderPath(folders);
    EXPECT_EQ(folders, (PackageFolderList{first}));
}

TEST_F(PackageSearchTest, TheWalkFindsAircraftCfgInNameOrderAndKeepsOutOfStopWordFolders) {
    const fs::path root = package("IVAO_MTL");
    cfg(root / "b" / "Aircraft.CFG");
    cfg(root / "a" / "aircraft.cfg");
    cfg(root / "a" / "aircraft.cfg.bak");
    cfg(root / "flytampa-scenery" / "aircraft.cfg");
    cfg(root / "c_CVT_" / "aircraft.cfg");
    std::string longName(250, 'x');
    cfg(root / longName.substr(0, 200) / longName.substr(0, 40) / "aircraft.cfg");
    EXPECT_EQ(walked(root), (std::vector<std::string>{"a/aircraft.cfg (ivao)", "b/Aircraft.CFG (ivao)"}));

    // A stop word in the folders above the package hides nothing.
    const fs::path above = dir / "airport-fan" / "Community" / "aig";
    cfg(above / "x" / "aircraft.cfg");
    EXPECT_EQ(walked(above), (std::vector<std::string>{"x/aircraft.cfg"}));
}

TEST_F(PackageSearchTest, TheWalkFollowsNoLinkOutOfThePackageAndEntersNoFolderTwice) {
    const fs::path root = package("aig");
    cfg(root / "a" / "aircraft.cfg");
    cfg(dir / "outside" / "aircraft.cfg");
    fs::create_directory_symlink(dir / "outside", root / "out");
    fs::create_directory_symlink(root, root / "a" / "up");
    fs::create_directory_symlink(root / "loop", root / "loop");
    EXPECT_EQ(walked(root), (std::vector<std::string>{"a/aircraft.cfg"}));
    EXPECT_TRUE(logged("liveries scan: link out of the folder not followed"));
}

TEST_F(PackageSearchTest, TheWalkStopsWhenTheVisitorSaysSo) {
    const fs::path root = package("aig");
    cfg(root / "a" / "aircraft.cfg");
    cfg(root / "b" / "aircraft.cfg");
    int seen = 0;
    walkAircraftCfgFiles(root, [&](const CfgFileEntry&) { return ++seen < 1; });
    EXPECT_EQ(seen, 1);
}

TEST_F(PackageSearchTest, OnlyTheLowestFolderOfEachAirlineAndModelKeepsItsLiveries) {
    LiveryList liveries = {livery("A", 1, 7, 2), livery("B", 1, 7, 1), livery("C", 2, 7, 2), livery("D", 1, 8, 3),
                           livery("E", 1, 7, 1)};
    prioritizeLiveries(liveries);
    std::vector<std::string> titles;
    for (const LiveryData& l : liveries) titles.push_back(l.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"B", "C", "D", "E"}));
}

TEST_F(PackageSearchTest, RecordsThatDifferOnlyInTheCargoFlagEndAsOne) {
    LiveryList liveries = {livery("T", 1, 7, 1, 1), livery("T", 1, 7, 2, 0), livery("U", 1, 7, 1)};
    liveries[2].registration = "D-ABCD";
    liveries.push_back(livery("U", 1, 7, 1));
    sortAndDropRepeatedLiveries(liveries);
    ASSERT_EQ(liveries.size(), 3U);
    EXPECT_EQ(liveries[0].key.cargo, 1) << "the first after sorting stays";
}

}  // namespace
}  // namespace qvl
