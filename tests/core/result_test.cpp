#include "core/result.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace qvl {
namespace {

enum class LoadError : std::uint8_t { missing, damaged };

Result<std::string, LoadError> load(bool present) {
    if (!present) return fail(LoadError::missing, "File x not found");
    return std::string("content");
}

TEST(Result, HoldsTheValueOrTheErrorWithItsText) {
    auto found = load(true);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, "content");
    EXPECT_EQ(found->size(), 7U);
    EXPECT_THROW((void)found.error(), std::logic_error);

    auto missing = load(false);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), LoadError::missing);
    EXPECT_EQ(missing.errorText(), "File x not found");
    EXPECT_THROW((void)missing.value(), std::logic_error);
}

TEST(Result, VoidResultAndMoveOnlyValues) {
    Result<void, LoadError> done;
    EXPECT_TRUE(done.ok());
    EXPECT_THROW((void)done.errorText(), std::logic_error);
    Result<void, LoadError> failed = fail(LoadError::damaged, "bad");
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.error(), LoadError::damaged);

    Result<std::unique_ptr<int>, LoadError> owned = std::make_unique<int>(3);
    const std::unique_ptr<int> taken = std::move(owned).value();
    EXPECT_EQ(*taken, 3);
}

}  // namespace
}  // namespace qvl
