#include "core/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qvl {
namespace {

TEST(Paths, RunningVersionAndRelativeNames) {
    EXPECT_EQ(gf_programVersion(), (VersionRecord{12, 2, 0}));
    EXPECT_EQ(gf_versionToString(gf_programVersion()), "12.2.0");
    EXPECT_EQ(kDbaseEnc, path("input") / "dbase.enc");
    EXPECT_EQ(kObjectIdList, path("output") / "info" / "ObjectIdList.txt");
    EXPECT_EQ(kLearnedThirdpartyFolder, path("airports") / "learned" / "thirdparty");
    EXPECT_TRUE(kMyParkAirportsTxt.is_relative());
}

TEST(Paths, ProductFolderFollowsTheRoamingFolder) {
    setenv("QVL_ROAMING_DIR", "/tmp/qvl-roaming", 1);
    EXPECT_EQ(gf_productFolder(), path("/tmp/qvl-roaming/Quorvelant"));
    EXPECT_EQ(gf_parametersFile(), path("/tmp/qvl-roaming/Quorvelant/parameters.xml"));
    unsetenv("QVL_ROAMING_DIR");
}

}  // namespace
}  // namespace qvl
