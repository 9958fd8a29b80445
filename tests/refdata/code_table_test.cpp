#include "refdata/code_table.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace qvl {
namespace {

TEST(CodeTable, InternsInOrderAndReadsBack) {
    CodeTable table("model");
    EXPECT_EQ(table.intern(""), 0);
    EXPECT_EQ(table.intern("B738"), 1);
    EXPECT_EQ(table.intern("A20N"), 2);
    EXPECT_EQ(table.intern("B738"), 1);
    EXPECT_EQ(table.intern("a20n"), 3) << "no case folding";
    EXPECT_EQ(table.code(2), "A20N");
    EXPECT_EQ(table.code(table.size()), "");
    EXPECT_FALSE(table.find("C172"));
}

TEST(CodeTable, FixesApplyOnlyOnceLoadedAndOnlyToKnownTargets) {
    CodeTable table("model");
    table.intern("");
    table.intern("A20N");
    ASSERT_TRUE(table.addFix("A320N", "A20N"));
    EXPECT_FALSE(table.addFix("A320N", "A320")) << "the first fix of a code stays";
    table.addFix("B38MAX", "B38M");
    table.setLoaded(true);
    EXPECT_EQ(table.intern("A320N"), 1);
    EXPECT_EQ(table.size(), 2u) << "a fixed code never enters the table";
    // Fix target not in the table: the code itself is interned and keeps its id.
    EXPECT_EQ(table.intern("B38MAX"), 2);
    EXPECT_EQ(table.intern("B38MAX"), 2);

    CodeTable unloaded("model");
    unloaded.addFix("A320N", "A20N");
    unloaded.intern("A20N");
    EXPECT_EQ(unloaded.intern("A320N"), 1) << "before the database is read codes go in unchanged";
}

TEST(CodeTable, RefusesNewCodesWhenFullInsteadOfWrapping) {
    CodeTable table("airline");
    for (std::size_t i = 0; i < CodeTable::kMaxCodes; ++i) table.intern(std::to_string(i));
    EXPECT_EQ(table.code(65535), "65535");
    try {
        table.intern("NEW");
        ADD_FAILURE() << "a 65,537th code was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "airline code table full (65536 codes): 'NEW' refused");
    }
    EXPECT_EQ(table.intern("0"), 0);
    EXPECT_EQ(table.intern("65535"), 65535);
    EXPECT_EQ(table.size(), CodeTable::kMaxCodes);
}

}  // namespace
}  // namespace qvl
