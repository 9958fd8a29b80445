#include "core/file_writer.h"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <utility>

#include "core/files.h"
#include "core/log.h"
#include "core/text_file.h"
#include "core/threads_left_behind.h"

namespace qvl {
namespace {

// How long close() waits for an idle thread to leave after its bound.
constexpr std::chrono::milliseconds kEndGrace{100};

}  // namespace

std::error_code FileWriter::carryOut(FileLayer& layer, const Job& job) {
    switch (job.kind) {
        case FileJobKind::write: return layer.writeFile(job.file, job.bytes);
        case FileJobKind::replace: return layer.replaceFile(job.file, job.bytes);
        case FileJobKind::remove: return layer.removeFile(job.file);
        case FileJobKind::task: return job.task(layer);
    }
    return std::make_error_code(std::errc::invalid_argument);
}

std::error_code DiskFileLayer::writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return std::make_error_code(std::errc::io_error);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    out.close();
    if (out.fail()) return std::make_error_code(std::errc::io_error);
    return {};
}

std::error_code DiskFileLayer::replaceFile(const std::filesystem::path& file, std::string_view bytes) {
    if (!writeFileAtomically(file, bytes)) return std::make_error_code(std::errc::io_error);
    return {};
}

std::error_code DiskFileLayer::removeFile(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::remove(file, error);
    return error;
}

FileWriter::FileWriter(std::shared_ptr<FileLayer> layer) : layer_(std::move(layer)) {}

FileWriter::~FileWriter() { close(kCloseBound); }

std::uint64_t FileWriter::write(std::filesystem::path file, std::string bytes) {
    return hand(FileJobKind::write, std::move(file), std::move(bytes));
}

std::uint64_t FileWriter::replace(std::filesystem::path file, std::string bytes) {
    return hand(FileJobKind::replace, std::move(file), std::move(bytes));
}

std::uint64_t FileWriter::remove(std::filesystem::path file) { return hand(FileJobKind::remove, std::move(file), {}); }

std::uint64_t FileWriter::perform(std::filesystem::path file, FileTask task) {
    return hand(FileJobKind::task, std::move(file), {}, std::move(task));
}

std::uint64_t FileWriter::hand(FileJobKind kind, std::filesystem::path file, std::string bytes, FileTask task) {
    const std::uint64_t ticket = nextTicket_++;
    if (!thread_.joinable()) {
        shared_ = std::make_shared<Shared>(layer_, outcomes_, leftBehind_);
        thread_ = std::jthread([shared = shared_](const std::stop_token& stop) { work(stop, shared); });
    }
    {
        const std::scoped_lock lock(shared_->mutex);
        shared_->queue.push_back({.ticket = ticket,
                                  .kind = kind,
                                  .file = std::move(file),
                                  .bytes = std::move(bytes),
                                  .task = std::move(task)});
    }
    shared_->changed.notify_all();
    return ticket;
}

void FileWriter::waitForThreadLeftBehind(const std::stop_token& stop, Shared& shared) {
    const std::shared_ptr<Shared> before = std::move(shared.before);
    if (!before) return;
    std::unique_lock lock(before->mutex);
    before->changed.wait(lock, stop, [&] { return before->ended; });
}

void FileWriter::work(const std::stop_token& stop, const std::shared_ptr<Shared>& shared) {
    // The job left behind may be a write of a file that a job of this thread
    // deletes or writes anew: none of them overtakes it. A close() meanwhile
    // stops the wait, with the queue dropped.
    waitForThreadLeftBehind(stop, *shared);
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, stop, [&] { return !shared->queue.empty(); });
        if (shared->queue.empty()) break;  // asked to stop with nothing left
        Job job = std::move(shared->queue.front());
        shared->queue.pop_front();
        shared->busy = true;
        lock.unlock();
        std::error_code error;
        try {
            error = carryOut(*shared->layer, job);
        } catch (const std::exception&) {
            // A file operation that throws fails this job, not the writer.
            error = std::make_error_code(std::errc::io_error);
        }
        // What the work owned goes now, outside the lock: its end may be
        // waited for by others.
        job.task = nullptr;
        {
            // Told before the job counts as done, so that a drain() that
            // returns finds its outcome.
            const std::scoped_lock told(shared->outcomes->mutex);
            shared->outcomes->done.push_back(
                {.ticket = job.ticket, .kind = job.kind, .file = std::move(job.file), .error = error});
        }
        lock.lock();
        shared->busy = false;
        shared->changed.notify_all();
    }
    shared->ended = true;
    shared->changed.notify_all();
}

std::vector<FileJobDone> FileWriter::takeDone() {
    const std::scoped_lock lock(outcomes_->mutex);
    return std::exchange(outcomes_->done, {});
}

std::size_t FileWriter::pending() const {
    if (!shared_) return 0;
    const std::scoped_lock lock(shared_->mutex);
    return shared_->queue.size() + (shared_->busy ? 1U : 0U);
}

bool FileWriter::drain(std::chrono::milliseconds bound) {
    if (!shared_ || !thread_.joinable()) return true;
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, bound, [&] { return shared_->queue.empty() && !shared_->busy; });
}

bool FileWriter::close(std::chrono::milliseconds bound) {
    if (!thread_.joinable()) return true;
    const auto end = std::chrono::steady_clock::now() + bound;
    const bool drained = drain(bound);
    std::deque<Job> left;
    {
        const std::scoped_lock lock(shared_->mutex);
        left.swap(shared_->queue);
    }
    const std::size_t dropped = left.size();
    const std::filesystem::path firstDropped = dropped != 0 ? left.front().file : std::filesystem::path{};
    left.clear();
    thread_.request_stop();
    bool ended = false;
    {
        std::unique_lock lock(shared_->mutex);
        const auto until = std::max(end, std::chrono::steady_clock::now() + kEndGrace);
        ended = shared_->changed.wait_until(lock, until, [&] { return shared_->ended; });
    }
    if (dropped == 1) {
        gf_log(fmt::format("File writer: 1 file job left undone at its end: {}", gf_pathToUtf8(firstDropped)));
    } else if (dropped > 1) {
        gf_log(fmt::format("File writer: {} file jobs left undone at its end, the first for {}", dropped,
                           gf_pathToUtf8(firstDropped)));
    }
    if (ended) {
        thread_.join();
    } else {
        // Left behind: blocked in a file operation, the thread owns what it
        // touches and ends on its own once the operation returns. The next
        // fresh thread waits for that before its first job.
        gf_log("File writer: a file operation has not returned; the writer is left to end on its own");
        recordThreadLeftBehind("file writer");
        thread_.detach();
        leftBehind_ = shared_;
    }
    // The last job may have ended within the grace, after the bound: then
    // every job was still carried out.
    return drained || (dropped == 0 && ended);
}

bool FileWriter::running() const { return thread_.joinable(); }

}  // namespace qvl
