#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "refdata/code_table.h"

namespace qvl {
namespace {

// Scan workers and the traffic reader intern the same codes at once.
TEST(CodeTableThreads, ConcurrentInterningGivesEveryCodeOneId) {
    CodeTable table(CodeKind::model);
    table.intern("");
    table.setLoaded(true);
    table.addFix("WRONG", "C0");
    const CodeId c0 = table.intern("C0");
    constexpr int kThreads = 8;
    constexpr int kCodes = 3000;
    {
        std::vector<std::jthread> threads;
        threads.reserve(kThreads);
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&table, c0, t] {
                const int start = (t * 375) % kCodes;
                for (int i = 0; i < kCodes; ++i) {
                    const std::string code = "C" + std::to_string((start + (t % 2 == 0 ? i : kCodes - i)) % kCodes);
                    const CodeId id = table.intern(code);
                    EXPECT_EQ(table.code(id), code);
                    EXPECT_EQ(table.intern("WRONG"), c0);
                    (void)table.code(static_cast<std::size_t>(id) + 1);  // a slot that may be filling
                }
            });
        }
    }  // the threads join here
    // A code given two ids would have entered the table twice.
    EXPECT_EQ(table.size(), static_cast<std::size_t>(kCodes) + 1);
}

}  // namespace
}  // namespace qvl
