// The engine's steps that are not built yet do nothing and say so once, in
// words, in Log.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/not_built.h"
#include "engine/stands/stand_seams.h"
#include "support/engine_harness.h"

namespace qvl::test {
namespace {

class NotBuiltEntries : public EngineTest {
protected:
    static bool logged(const std::string& feature) {
        const std::vector<std::string> features = notBuiltLogged();
        return std::find(features.begin(), features.end(), feature) != features.end();
    }
};

TEST_F(NotBuiltEntries, StandRulesOfLaterWorkSetNoLimit) {
    EXPECT_EQ(parkLimit(engine), 0);
    EXPECT_TRUE(logged("static parking"));
}

}  // namespace
}  // namespace qvl::test
