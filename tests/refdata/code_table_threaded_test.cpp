#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "refdata/code_table.h"

namespace qvl {
namespace {

// Scan workers and the traffic reader intern the same codes at once: each
// code must get exactly one id, and the id -> code direction must stay
// readable while the table grows.
TEST(CodeTableThreads, ConcurrentInterningGivesEveryCodeOneId) {
    CodeTable table("model");
    table.intern("");
    table.setLoaded(true);
    table.addFix("WRONG", "C0");
    // The fix target exists before the threads start, so "WRONG" always
    // resolves to it and is never appended as a code of its own.
    const CodeId c0 = table.intern("C0");
    constexpr int kThreads = 8;
    constexpr int kCodes = 3000;
    std::vector<std::vector<CodeId>> seen(kThreads, std::vector<CodeId>(kCodes));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCodes; ++i) {
                // Every thread walks the codes in another order.
                const int start = (t * 375) % kCodes;
                const int code = t % 2 == 0 ? (start + i) % kCodes : (start + kCodes - i) % kCodes;
                const CodeId id = table.intern("C" + std::to_string(code));
                seen[t][code] = id;
                EXPECT_EQ(table.code(id), "C" + std::to_string(code));
                table.intern("WRONG");
                (void)table.code(static_cast<std::size_t>(id) + 1);  // a slot that may be filling
            }
        });
    }
    for (auto& thread : threads) thread.join();

    EXPECT_EQ(table.size(), static_cast<std::size_t>(kCodes) + 1);
    std::set<CodeId> ids;
    for (int code = 0; code < kCodes; ++code) {
        for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t][code], seen[0][code]);
        ids.insert(seen[0][code]);
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kCodes));
    EXPECT_EQ(seen[0][0], c0);
    EXPECT_EQ(table.intern("WRONG"), c0);
}

}  // namespace
}  // namespace qvl
