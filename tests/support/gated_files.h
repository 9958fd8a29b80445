// The disk as a file writer sees it, with a gate that a test may close: a
// file operation then waits at the gate until the test opens it again. The
// operations still reach the real files, in the order they pass the gate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "core/file_writer.h"

namespace qvl::test {

class GatedFiles final : public FileLayer {
public:
    std::error_code writeFile(const std::filesystem::path& file, std::string_view bytes) override {
        pass("write " + file.filename().string());
        return disk_.writeFile(file, bytes);
    }
    std::error_code replaceFile(const std::filesystem::path& file, std::string_view bytes) override {
        pass("replace " + file.filename().string());
        return disk_.replaceFile(file, bytes);
    }
    std::error_code removeFile(const std::filesystem::path& file) override {
        pass("remove " + file.filename().string());
        return disk_.removeFile(file);
    }

    void close() {
        const std::scoped_lock lock(mutex_);
        open_ = false;
    }
    void open() {
        {
            const std::scoped_lock lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    // Waits (boundedly) until an operation waits at the closed gate.
    bool waitForWaiter() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kBound, [this] { return waiting_ > 0; });
    }
    // "write <name>", "replace <name>" and "remove <name>" in the order they
    // passed the gate.
    std::vector<std::string> passed() const {
        const std::scoped_lock lock(mutex_);
        return passed_;
    }

private:
    static constexpr std::chrono::seconds kBound{10};

    void pass(std::string what) {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        --waiting_;
        passed_.push_back(std::move(what));
    }

    DiskFileLayer disk_;
    mutable std::mutex mutex_;  // a leaf lock: guards everything below
    std::condition_variable changed_;
    bool open_ = true;
    std::size_t waiting_ = 0;
    std::vector<std::string> passed_;
};

}  // namespace qvl::test
