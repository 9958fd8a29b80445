// A writer of its own for the small files that the 10 ms loop asks for: the
// loop hands over a job (a whole file to write or to replace, a file to
// delete) and goes
// on; a thread of the writer carries the jobs out one after another, in the
// order they were handed over, and keeps their outcomes until the loop takes
// them. One queue in one order keeps every file's order: a deletion never
// overtakes the write of the same file, nor a write the deletion before it.
//
// The file operations are the writer's injected dependency (the disk in the
// program), shared with its thread: a thread left behind inside a file
// operation that never returns still owns what it touches.
//
// A job may also be a piece of work of the owner's (a file built and written
// on the writer's thread, so that the loop neither builds nor writes it); it
// keeps the same order with the rest.
//
// The thread starts with the first job and ends at close(), which works off
// the queue for a bounded time and drops what is left then; a job after
// close() starts a fresh thread. A close that gave up on a thread inside a
// file operation leaves it to end on its own; the next fresh thread runs no
// job before that operation has returned, so the jobs keep their order across
// the two threads (a stalled older save never lands over a newer one), and
// the outcome of the job left behind is still told, before the later ones.
// Every call is made from one thread, the owner's, except that the jobs run
// on the writer's.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace qvl {

// The file operations a FileWriter carries out.
class FileLayer {
public:
    virtual ~FileLayer() = default;
    // The whole file, created or truncated, in binary; an error when it
    // could not be opened or a write, flush or close failed.
    virtual std::error_code writeFile(const std::filesystem::path& file, std::string_view bytes) = 0;
    // The whole file through a temporary file flushed to disk and renamed
    // over it, so that it holds either its old or its new content.
    virtual std::error_code replaceFile(const std::filesystem::path& file, std::string_view bytes) = 0;
    virtual std::error_code removeFile(const std::filesystem::path& file) = 0;
};

// The disk.
class DiskFileLayer final : public FileLayer {
public:
    std::error_code writeFile(const std::filesystem::path& file, std::string_view bytes) override;
    std::error_code replaceFile(const std::filesystem::path& file, std::string_view bytes) override;
    std::error_code removeFile(const std::filesystem::path& file) override;
};

enum class FileJobKind : std::uint8_t { write, replace, remove, task };

// One job carried out; its ticket is the one the job was handed over with.
struct FileJobDone {
    std::uint64_t ticket = 0;
    FileJobKind kind = FileJobKind::write;
    std::filesystem::path file;
    std::error_code error;
};

class FileWriter {
public:
    explicit FileWriter(std::shared_ptr<FileLayer> layer);
    // close() with its default bound.
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // The bound of the end of the writer when its owner ends.
    static constexpr std::chrono::milliseconds kCloseBound{2000};

    // Each returns the job's ticket, increasing from 1.
    std::uint64_t write(std::filesystem::path file, std::string bytes);
    std::uint64_t replace(std::filesystem::path file, std::string bytes);
    std::uint64_t remove(std::filesystem::path file);
    // Work that builds and writes `file` through the file layer, run on the
    // writer's thread in its turn. It owns whatever it works with: a work
    // still running when the writer is left behind keeps it alive. It is
    // destroyed once done, or when the job is dropped at close().
    using FileTask = std::function<std::error_code(FileLayer& layer)>;
    std::uint64_t perform(std::filesystem::path file, FileTask task);
    // The outcomes since the last call, in the order of the jobs.
    [[nodiscard]] std::vector<FileJobDone> takeDone();
    // Jobs handed over and not yet carried out.
    [[nodiscard]] std::size_t pending() const;
    // Waits at most `bound` until every job handed over is carried out;
    // true when they are.
    bool drain(std::chrono::milliseconds bound);
    // Works off the queue for at most `bound`, drops what is left (with a
    // log line) and ends the thread; a thread still inside a file operation
    // is left to end on its own. True when every job was carried out. It
    // never waits past `bound` and a short grace, also while a thread left
    // behind by an earlier close still holds up the jobs.
    bool close(std::chrono::milliseconds bound);
    // True while a thread of the writer runs (it has jobs or waits for them).
    [[nodiscard]] bool running() const;

private:
    struct Job {
        std::uint64_t ticket = 0;
        FileJobKind kind = FileJobKind::write;
        std::filesystem::path file;
        std::string bytes;
        FileTask task;
    };
    // The outcomes of every thread of the writer, in the order of the jobs.
    struct Outcomes {
        std::mutex mutex;  // a leaf lock, never held with a Shared's
        std::vector<FileJobDone> done;
    };
    // What the owner shares with one thread of the writer.
    struct Shared {
        Shared(std::shared_ptr<FileLayer> files, std::shared_ptr<Outcomes> told, std::shared_ptr<Shared> earlier)
            : layer(std::move(files)), outcomes(std::move(told)), before(std::move(earlier)) {}
        const std::shared_ptr<FileLayer> layer;
        const std::shared_ptr<Outcomes> outcomes;
        // The thread's own, set before it starts: the thread that an earlier
        // close() left behind, which this one waits for before its first job.
        std::shared_ptr<Shared> before;
        std::mutex mutex;  // a leaf lock: guards everything below
        std::condition_variable_any changed;
        std::deque<Job> queue;
        bool busy = false;   // a job is being carried out
        bool ended = false;  // the thread has left its loop
    };

    static void work(const std::stop_token& stop, const std::shared_ptr<Shared>& shared);
    static void waitForThreadLeftBehind(const std::stop_token& stop, Shared& shared);
    static std::error_code carryOut(FileLayer& layer, const Job& job);
    std::uint64_t hand(FileJobKind kind, std::filesystem::path file, std::string bytes, FileTask task = {});

    const std::shared_ptr<FileLayer> layer_;
    std::uint64_t nextTicket_ = 1;
    const std::shared_ptr<Outcomes> outcomes_ = std::make_shared<Outcomes>();
    std::shared_ptr<Shared> shared_;
    // The thread that the last close() that gave up left behind (it may
    // have ended since): every fresh thread waits for it.
    std::shared_ptr<Shared> leftBehind_;
    std::jthread thread_;
};

}  // namespace qvl
