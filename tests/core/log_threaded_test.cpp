#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#include "core/log.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

// Lines written from several threads at once never interleave.
TEST(LogThreaded, LinesFromManyThreadsStayWhole) {
    test::TempDir dir;
    openLogAt(dir / "Log.txt");
    constexpr int kThreads = 6;
    constexpr int kLines = 400;
    std::vector<std::jthread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string line = "thread " + std::to_string(t) + " " + std::string(60, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) {
                if (i % 3 == 0)
                    gf_logAttention(line);
                else
                    gf_log(line);
            }
        });
    }
    for (auto& th : threads) th.join();
    closeLog();

    std::istringstream in(test::readFile(dir / "Log.txt"));
    std::string line;
    std::getline(in, line);  // banner
    int count = 0;
    while (std::getline(in, line)) {
        if (line.rfind("==> ", 0) == 0) line = line.substr(4);
        ASSERT_EQ(line.size(), 69u) << line;
        const char c = line.back();
        EXPECT_EQ(line.substr(9), std::string(60, c));
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
}  // namespace qvl
