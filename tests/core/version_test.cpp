#include "core/version.h"

#include <gtest/gtest.h>

#include <string>

#include "support/logged_folder.h"

namespace qvl {
namespace {

using VersionParse = test::LoggedFolder;

TEST_F(VersionParse, DottedTextAndJsonObject) {
    EXPECT_EQ(gf_versionToString(gf_parseVersion("12.2.0")), "12.2.0");
    EXPECT_LT(gf_parseVersion("11.10.0"), gf_parseVersion("12.0.0"));
    EXPECT_EQ(gf_parseVersion("2147483647.02.0"), (VersionRecord{2147483647, 2, 0}));
    EXPECT_EQ(gf_parseVersion(" \n\t{ \"major\": 12, \"minor\": 3, \"patch\": 1 }\r\n "), (VersionRecord{12, 3, 1}));
    EXPECT_EQ(gf_parseVersion(R"({"patch":0,"minor":-1,"major":7,"extra":"x"})"), (VersionRecord{7, -1, 0}));
    EXPECT_EQ(tryParseVersion("0.0.0"), (VersionRecord{0, 0, 0}));
    EXPECT_FALSE(logged("VersionData exception: invalid version format"));
    EXPECT_FALSE(tryParseVersion("not a version").has_value());
    EXPECT_TRUE(logged("VersionData exception: invalid version format"));
}

TEST_F(VersionParse, UnreadableTextsGiveZeroAndALogLine) {
    for (const char* text : {" 12.2.0", "12.2.0.1", "12..0", "", "-1.2.3", "[12, 2, 0]"}) {
        EXPECT_EQ(gf_parseVersion(text), VersionRecord{}) << text;
    }
    EXPECT_TRUE(logged("VersionData exception: invalid version format"));
    // Numbers that do not fit, are not whole or are no numbers; missing members; broken JSON.
    for (const char* text : {"12.2147483648.0", R"({"major":4294967298,"minor":0,"patch":0})",
                             R"({"major":12.7,"minor":0,"patch":0})", R"({"major":true,"minor":0,"patch":0})",
                             R"({"major":12,"minor":3})", R"({"major":1,"minor":3,"patch":1} x)"}) {
        EXPECT_EQ(gf_parseVersion(text), VersionRecord{}) << text;
    }
    EXPECT_TRUE(logged("VersionData exception: parse error in version string"));
    // Long hostile texts must not exhaust the stack.
    EXPECT_EQ(gf_parseVersion(std::string(300000, '1') + ".1.1"), VersionRecord{});
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "{\"a\":";
    EXPECT_EQ(gf_parseVersion(deep), VersionRecord{});
}

}  // namespace
}  // namespace qvl
