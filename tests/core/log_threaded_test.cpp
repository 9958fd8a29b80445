#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <sstream>
#include <thread>
#include <vector>

#include "core/log.h"
#include "support/stalled_log.h"
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

// A writer blocked inside a write of Log.txt (a share that stopped
// answering) holds the log's lock: the last line gives up on it within its
// wait, and is written once the lock is free again.
TEST(LogThreaded, TheLastLineGivesUpOnAWriterBlockedInAWriteOfTheLog) {
    using namespace std::chrono_literals;
    test::TempDir dir;
    test::StalledLog log(dir / "Log.txt");
    log.fill();
    std::atomic<bool> written{false};
    std::jthread writer([&written] {
        gf_log("a line the share never takes");
        written.store(true);
    });
    // Time for the writer to come into its write.
    std::this_thread::sleep_for(200ms);
    ASSERT_FALSE(written.load());

    const auto start = std::chrono::steady_clock::now();
    auto lastLine = std::async(std::launch::async, [] { return logLastLine("the last line", 300ms); });
    const bool returned = lastLine.wait_for(10s) == std::future_status::ready;
    const auto took = std::chrono::steady_clock::now() - start;
    // The share answers again: the writer (and a last line still waiting) go on.
    std::string text;
    while (!written.load()) {
        text += log.drain();
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(returned) << "the last line waited for the blocked writer";
    EXPECT_FALSE(lastLine.get());
    EXPECT_GE(took, 300ms);
    writer.join();

    EXPECT_TRUE(logLastLine("the last line", 300ms));
    text += log.drain();
    EXPECT_TRUE(text.ends_with("a line the share never takes\n==> the last line\n"))
        << text.substr(text.size() > 200 ? text.size() - 200 : 0);
}

}  // namespace
}  // namespace qvl
