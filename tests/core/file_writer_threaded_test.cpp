// The loop's file writer: jobs carried out in the order handed over, the
// hand-over never waiting on the file layer, and a bounded end.
#include "core/file_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "support/gated_files.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FileWriterThreaded : public ::testing::Test {
protected:
    test::TempDir dir;
    std::shared_ptr<test::GatedFiles> files = std::make_shared<test::GatedFiles>();
    FileWriter writer{files};
};

TEST_F(FileWriterThreaded, KeepsEachFilesOrderAcrossWriteDeleteAndWriteAgain) {
    files->close();
    writer.write(dir / "1.pln", "first");
    writer.remove(dir / "1.pln");
    writer.write(dir / "2.pln", "old");
    writer.remove(dir / "2.pln");
    writer.write(dir / "2.pln", "new");
    ASSERT_TRUE(files->waitForWaiter());
    files->open();
    ASSERT_TRUE(writer.drain(10s));

    EXPECT_FALSE(std::filesystem::exists(dir / "1.pln"));
    EXPECT_EQ(readFile(dir / "2.pln"), "new");
    EXPECT_EQ(files->passed(),
              (std::vector<std::string>{"write 1.pln", "remove 1.pln", "write 2.pln", "remove 2.pln", "write 2.pln"}));
    std::vector<std::uint64_t> tickets;
    for (const FileJobDone& done : writer.takeDone()) {
        EXPECT_FALSE(done.error) << done.file;
        tickets.push_back(done.ticket);
    }
    EXPECT_EQ(tickets, (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
}

TEST_F(FileWriterThreaded, HandsOverEveryJobWhileTheFileLayerIsBlocked) {
    files->close();
    for (int i = 0; i < 200; ++i) {
        writer.write(dir / (std::to_string(i) + ".pln"), "plan");
        writer.remove(dir / (std::to_string(i) + ".pln"));
    }
    // Every hand-over has returned with the first job still at the gate.
    ASSERT_TRUE(files->waitForWaiter());
    EXPECT_EQ(writer.pending(), 400U);
    EXPECT_TRUE(files->passed().empty());
    files->open();
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(writer.pending(), 0U);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(FileWriterThreaded, ReportsAFailedJobAndGoesOn) {
    std::filesystem::create_directories(dir / "not-empty" / "inside");
    writer.write(dir / "missing" / "1.pln", "plan");
    writer.remove(dir / "not-empty");
    writer.write(dir / "2.pln", "plan");
    ASSERT_TRUE(writer.drain(10s));
    const std::vector<FileJobDone> done = writer.takeDone();
    ASSERT_EQ(done.size(), 3U);
    EXPECT_TRUE(done[0].error);
    EXPECT_EQ(done[0].kind, FileJobKind::write);
    EXPECT_TRUE(done[1].error) << "a folder that is not empty stays";
    EXPECT_EQ(done[1].kind, FileJobKind::remove);
    EXPECT_TRUE(std::filesystem::exists(dir / "not-empty" / "inside"));
    EXPECT_FALSE(done[2].error);
    EXPECT_TRUE(std::filesystem::exists(dir / "2.pln"));
}

TEST_F(FileWriterThreaded, CloseWorksOffTheQueueThenTheThreadEndsAndANewJobStartsAnother) {
    for (int i = 0; i < 20; ++i) writer.write(dir / (std::to_string(i) + ".pln"), "plan");
    EXPECT_TRUE(writer.running());
    EXPECT_TRUE(writer.close(10s));
    EXPECT_FALSE(writer.running());
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(std::filesystem::exists(dir / (std::to_string(i) + ".pln"))) << i;

    writer.remove(dir / "0.pln");
    EXPECT_TRUE(writer.running());
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_FALSE(std::filesystem::exists(dir / "0.pln"));
}

TEST_F(FileWriterThreaded, CloseEndsWithinItsBoundWhenTheFileLayerNeverReturns) {
    files->close();
    writer.write(dir / "1.pln", "plan");
    writer.write(dir / "2.pln", "plan");
    ASSERT_TRUE(files->waitForWaiter());
    // The gate stays closed through close(): it returns all the same.
    EXPECT_FALSE(writer.close(20ms));
    EXPECT_FALSE(writer.running());
    // The thread left behind finishes its job once the layer answers; the
    // job that was still queued is dropped.
    files->open();
    std::vector<std::string> passed;
    for (int i = 0; i < 1000 && passed.empty(); ++i) {
        std::this_thread::sleep_for(1ms);
        passed = files->passed();
    }
    EXPECT_EQ(passed, std::vector<std::string>{"write 1.pln"});
}

TEST_F(FileWriterThreaded, AWorkJobKeepsItsTurnAndWhatItOwnsEndsWhenDoneOrDropped) {
    files->close();
    writer.write(dir / "1.pln", "first");
    auto doneOwned = std::make_shared<int>(0);
    writer.perform(dir / "1.pln", [file = dir / "1.pln", owned = doneOwned](FileLayer& layer) {
        return layer.replaceFile(file, "built " + std::to_string(*owned));
    });
    std::weak_ptr<int> done = doneOwned;
    doneOwned.reset();
    ASSERT_TRUE(files->waitForWaiter());
    EXPECT_FALSE(done.expired()) << "the queued work still owns it";
    files->open();
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(files->passed(), (std::vector<std::string>{"write 1.pln", "replace 1.pln"}));
    EXPECT_TRUE(done.expired());
    EXPECT_EQ(readFile(dir / "1.pln"), "built 0");
    const std::vector<FileJobDone> outcomes = writer.takeDone();
    ASSERT_EQ(outcomes.size(), 2U);
    EXPECT_EQ(outcomes[1].kind, FileJobKind::task);
    EXPECT_FALSE(outcomes[1].error);

    // A work dropped at close() never runs, and lets go of what it owns.
    files->close();
    writer.write(dir / "2.pln", "held");
    auto droppedOwned = std::make_shared<int>(0);
    std::weak_ptr<int> dropped = droppedOwned;
    writer.perform(dir / "3.pln", [owned = std::move(droppedOwned)](FileLayer& /*layer*/) {
        ADD_FAILURE() << "a dropped work ran";
        return std::error_code{};
    });
    ASSERT_TRUE(files->waitForWaiter());
    EXPECT_FALSE(writer.close(20ms));
    EXPECT_TRUE(dropped.expired());
    files->open();
}

// The disk, holding its first operation until the test lets it go (a disk
// that stalls, then answers), and telling the order in which the operations
// returned.
class FirstHeldFiles final : public FileLayer {
public:
    std::error_code writeFile(const std::filesystem::path& file, std::string_view bytes) override {
        return carry("write " + file.filename().string(), [&] { return disk_.writeFile(file, bytes); });
    }
    std::error_code replaceFile(const std::filesystem::path& file, std::string_view bytes) override {
        return carry("replace " + file.filename().string(), [&] { return disk_.replaceFile(file, bytes); });
    }
    std::error_code removeFile(const std::filesystem::path& file) override {
        return carry("remove " + file.filename().string(), [&] { return disk_.removeFile(file); });
    }

    bool waitUntilHeld() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kBound, [this] { return held_; });
    }
    void release() {
        {
            const std::scoped_lock lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }
    bool waitForReturned(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kBound, [&] { return returned_.size() >= count; });
    }
    std::vector<std::string> returned() const {
        const std::scoped_lock lock(mutex_);
        return returned_;
    }

private:
    static constexpr std::chrono::seconds kBound{10};

    template <class Operation>
    std::error_code carry(std::string what, Operation operation) {
        {
            std::unique_lock lock(mutex_);
            if (!held_) {
                held_ = true;
                changed_.notify_all();
                changed_.wait(lock, [this] { return released_; });
            }
        }
        const std::error_code error = operation();
        {
            const std::scoped_lock lock(mutex_);
            returned_.push_back(std::move(what));
        }
        changed_.notify_all();
        return error;
    }

    DiskFileLayer disk_;
    mutable std::mutex mutex_;  // a leaf lock: guards everything below
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
    std::vector<std::string> returned_;
};

// A writer whose first file operation stalls until the test, or the end of
// the test, lets it go.
class FileWriterStalled : public ::testing::Test {
protected:
    test::TempDir dir;
    test::LogCapture log{dir.path()};
    std::shared_ptr<FirstHeldFiles> files = std::make_shared<FirstHeldFiles>();
    FileWriter writer{files};
    struct ReleaseAtEnd {
        std::shared_ptr<FirstHeldFiles> files;
        ~ReleaseAtEnd() { files->release(); }
    } releaseAtEnd{files};

    // A close that gives up on the stalled first operation.
    void closeGivingUp() {
        ASSERT_TRUE(files->waitUntilHeld());
        ASSERT_FALSE(writer.close(20ms));
        ASSERT_FALSE(writer.running());
    }
};

TEST_F(FileWriterStalled, ADeletionAfterACloseThatGaveUpOnTheWriteOfItsFileIsNotOvertaken) {
    writer.write(dir / "1.pln", "plan");
    ASSERT_NO_FATAL_FAILURE(closeGivingUp());
    writer.remove(dir / "1.pln");
    EXPECT_FALSE(writer.drain(50ms)) << "the deletion waits for the write left behind";
    files->release();
    ASSERT_TRUE(writer.drain(10s));
    ASSERT_TRUE(files->waitForReturned(2));
    EXPECT_EQ(files->returned(), (std::vector<std::string>{"write 1.pln", "remove 1.pln"}));
    EXPECT_FALSE(std::filesystem::exists(dir / "1.pln"));
    // The outcome of the job left behind is still told, before the later one.
    std::vector<std::uint64_t> tickets;
    for (const FileJobDone& done : writer.takeDone()) {
        EXPECT_FALSE(done.error) << done.file;
        tickets.push_back(done.ticket);
    }
    EXPECT_EQ(tickets, (std::vector<std::uint64_t>{1, 2}));
}

TEST_F(FileWriterStalled, AnOlderReplaceLeftBehindDoesNotOverwriteANewerOne) {
    writer.replace(dir / "learned.xml", "last visit");
    ASSERT_NO_FATAL_FAILURE(closeGivingUp());
    writer.replace(dir / "learned.xml", "this visit");
    EXPECT_FALSE(writer.drain(50ms)) << "the newer replace waits for the one left behind";
    files->release();
    ASSERT_TRUE(writer.drain(10s));
    ASSERT_TRUE(files->waitForReturned(2));
    EXPECT_EQ(readFile(dir / "learned.xml"), "this visit");
}

TEST_F(FileWriterStalled, ACloseWhileTheThreadLeftBehindIsStillStalledEndsWithinItsBoundAndLeavesNoOther) {
    writer.write(dir / "1.pln", "plan");
    ASSERT_NO_FATAL_FAILURE(closeGivingUp());
    writer.write(dir / "2.pln", "plan");
    EXPECT_FALSE(writer.close(20ms)) << "its job waited for the one left behind and was dropped";
    EXPECT_FALSE(writer.running());
    const std::string text = log.text();
    const std::string stalled = "a file operation has not returned";
    const std::size_t first = text.find(stalled);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find(stalled, first + 1), std::string::npos) << "only the first close left a thread behind";

    writer.write(dir / "3.pln", "plan");
    files->release();
    ASSERT_TRUE(writer.drain(10s));
    ASSERT_TRUE(files->waitForReturned(2));
    EXPECT_EQ(files->returned(), (std::vector<std::string>{"write 1.pln", "write 3.pln"}));
    EXPECT_FALSE(std::filesystem::exists(dir / "2.pln"));
}

TEST_F(FileWriterStalled, CloseLogsTheOneJobItDroppedAndDoesNotCallAnOperationEndingInItsGraceStalled) {
    writer.write(dir / "1.pln", "plan");
    // The queued work lets the stalled write go the moment close() drops it,
    // after its bound: the write returns within close()'s grace.
    struct ReleaseWhenDropped {
        explicit ReleaseWhenDropped(std::shared_ptr<FirstHeldFiles> held) : files(std::move(held)) {}
        ReleaseWhenDropped(const ReleaseWhenDropped&) = delete;
        ReleaseWhenDropped& operator=(const ReleaseWhenDropped&) = delete;
        ~ReleaseWhenDropped() { files->release(); }
        std::shared_ptr<FirstHeldFiles> files;
    };
    writer.perform(dir / "2.pln", [release = std::make_shared<ReleaseWhenDropped>(files)](FileLayer& /*layer*/) {
        return std::error_code{};
    });
    ASSERT_TRUE(files->waitUntilHeld());
    EXPECT_FALSE(writer.close(0ms));
    EXPECT_FALSE(writer.running());
    EXPECT_EQ(files->returned(), std::vector<std::string>{"write 1.pln"});
    const std::string text = log.text();
    EXPECT_NE(text.find("File writer: 1 file job left undone at its end: "), std::string::npos) << text;
    EXPECT_NE(text.find("2.pln"), std::string::npos) << text;
    EXPECT_EQ(text.find("has not returned"), std::string::npos) << text;
}

}  // namespace
}  // namespace qvl
