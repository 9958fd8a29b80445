// Log.txt on a share that stopped answering: the log is opened on a FIFO
// whose reader reads only when the test says so. Once the FIFO is full, the
// next line's write blocks inside the write, with the log's lock held, as a
// write to a folder that no longer answers does. Reading it empty lets the
// blocked write return.
//
// The reader stays open for the life of the object, so a write never meets a
// FIFO without a reader (that would raise SIGPIPE). A test that lets a writer
// block must let it return (drain) before the object ends, or end its
// process first.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/log.h"

namespace qvl::test {

class StalledLog {
public:
    // Makes the FIFO `file` and opens the log on it (closing the log first).
    explicit StalledLog(const std::filesystem::path& file) : file_(file) {
        closeLog();
        if (::mkfifo(file.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
        reader_ = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (reader_ < 0) throw std::runtime_error("the FIFO's reader did not open");
        openLogAt(file);
    }
    ~StalledLog() {
        closeLog();
        ::close(reader_);
    }
    StalledLog(const StalledLog&) = delete;
    StalledLog& operator=(const StalledLog&) = delete;

    // Fills the FIFO to the last byte: the next line's write blocks.
    void fill() const {
        const int writer = ::open(file_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer < 0) throw std::runtime_error("the FIFO's filler did not open");
        const std::string block(4096, '.');
        while (::write(writer, block.data(), block.size()) > 0) {
        }
        // A write up to the pipe's atomic size goes whole or not at all: the
        // last few bytes go one at a time.
        while (::write(writer, block.data(), 1) > 0) {
        }
        ::close(writer);
    }
    // Everything written so far (the filler included); a blocked write goes on.
    std::string drain() const {
        std::string text;
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(reader_, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
        return text;
    }

private:
    std::filesystem::path file_;
    int reader_ = -1;
};

}  // namespace qvl::test
