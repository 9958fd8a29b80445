#include "refdata/code_table.h"

#include <gtest/gtest.h>

#include <string>

namespace qvl {
namespace {

TEST(CodeTable, InternsInOrderAndFixesOnlyWhenLoadedAndKnown) {
    CodeTable table(CodeKind::model);
    EXPECT_EQ(table.intern(""), 0);
    EXPECT_EQ(table.intern("A20N"), 1);
    ASSERT_TRUE(table.addFix("A320N", "A20N"));
    table.addFix("B38MAX", "B38M");
    EXPECT_EQ(table.intern("A320N"), 2) << "before the database is read codes go in unchanged";
    table.setLoaded(true);
    EXPECT_EQ(table.intern("B38MAX"), 3) << "a fix to an unknown code is not applied";
    EXPECT_EQ(table.intern("a20n"), 4) << "no case folding";
    EXPECT_EQ(table.code(table.size()), "");
}

TEST(CodeTable, RefusesNewCodesWhenFullInsteadOfWrapping) {
    CodeTable table(CodeKind::airline);
    for (std::size_t i = 0; i < CodeTable::kMaxCodes; ++i) table.intern(std::to_string(i));
    EXPECT_EQ(table.code(65535), "65535");
    try {
        table.intern("NEW");
        ADD_FAILURE() << "a 65,537th code was accepted";
    } catch (const CodeTableFull& e) {
        EXPECT_EQ(e.kind(), CodeKind::airline);
        EXPECT_STREQ(e.what(), "airline code table full (65536 codes): 'NEW' refused");
    }
    EXPECT_EQ(table.intern("65535"), 65535);
    EXPECT_EQ(table.size(), CodeTable::kMaxCodes);
}

}  // namespace
}  // namespace qvl
