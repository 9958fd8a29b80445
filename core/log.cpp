#include "core/log.h"

#include <fmt/format.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "core/files.h"
#include "core/paths.h"
#include "core/run_state.h"
#include "core/text_file.h"
#include "core/time_text.h"

namespace qvl {
namespace {

struct LogState {
    // The log mutex. Lock order: last of all (the message lines' and the
    // parameters.xml locks are taken before it); never call a writer while
    // holding it. The process's last line only tries it, so that it can give
    // up on a writer that blocks in a write while holding it.
    std::mutex mutex;
    std::ofstream stream;
    std::atomic<const RunState*> run{nullptr};
};

// How often the last line tries the log's lock again.
constexpr std::chrono::milliseconds kLastLineRetry{2};

LogState& logState() {
    static LogState state;
    return state;
}

// The line goes to the system at once: one write per line, cheap next to a
// 10 ms tick, where a sync to disk would not be.
void writeLine(std::string_view prefix, std::string_view text) {
    LogState& s = logState();
    std::lock_guard lock(s.mutex);
    if (!s.stream.is_open()) return;
    s.stream << prefix << text << '\n';
    s.stream.flush();
}

}  // namespace

void gf_log(std::string_view text) { writeLine({}, text); }

void gf_logAttention(std::string_view text) { writeLine("==> ", text); }

void gf_logContinuation(std::string_view text) { writeLine("          ", text); }

void gf_flushLog() {
    LogState& s = logState();
    std::lock_guard lock(s.mutex);
    if (s.stream.is_open()) s.stream.flush();
}

void gf_logLineAndFlush(std::string_view line) { writeLine({}, line); }

bool logLastLine(std::string_view text, std::chrono::milliseconds wait) {
    LogState& s = logState();
    // Tried again and again rather than waited for with a time-out: a plain
    // try is what every platform and the thread checker know.
    const auto end = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(s.mutex, std::try_to_lock);
    while (!lock.owns_lock()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(kLastLineRetry);
        static_cast<void>(lock.try_lock());
    }
    if (!s.stream.is_open()) return false;
    s.stream << "==> " << text << '\n';
    s.stream.flush();
    return true;
}

void gf_logUnlessClosing(const std::string& line) {
    const RunState* run = logState().run.load(std::memory_order_acquire);
    if (run != nullptr && run->isClosing()) return;
    gf_log(line);
}

void attachRunState(const RunState* run) { logState().run.store(run, std::memory_order_release); }

void openLogAt(const std::filesystem::path& path) {
    gf_saveUpto3GenerationsOf(path);
    {
        LogState& s = logState();
        std::lock_guard lock(s.mutex);
        if (s.stream.is_open()) s.stream.close();
        s.stream.clear();
        s.stream.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!s.stream.is_open()) {
            s.stream.setstate(std::ios::failbit);
            throw std::runtime_error("Failed to write file " + gf_pathToUtf8(path));
        }
    }
    gf_log(fmt::format("{} (utc) {} version {} for {}", gf_utcDateTimeText(std::time(nullptr)), kProductName,
                       gf_versionToString(programVersion()), "MSFS 2020/2024"));
}

void gf_openLog() { openLogAt(kLogFile); }

void closeLog() {
    LogState& s = logState();
    std::lock_guard lock(s.mutex);
    if (s.stream.is_open()) s.stream.close();
}

bool logIsOpen() {
    LogState& s = logState();
    std::lock_guard lock(s.mutex);
    return s.stream.is_open();
}

// Layout: the width w1 + w2 is rounded up to even. No title: a full line of
// '*'. A short title sits between two runs of width/2 - 1 '*' with one blank
// on each side; a title too long for that stands alone.
std::string gf_starBanner(const StarBanner& banner) {
    std::string line = banner.leadingNewline ? "\n" : "";
    int width = banner.width1 + banner.width2;
    if (width < 0) width = 0;
    if (width % 2 != 0) ++width;
    const auto w = static_cast<std::size_t>(width);
    if (banner.title.empty()) {
        line.append(w, '*');
    } else if (banner.title.size() + 2 < w) {
        const std::size_t run = w / 2 - 1;
        line.append(run, '*');
        line += ' ';
        line += banner.title;
        line += ' ';
        line.append(run, '*');
    } else {
        line += banner.title;
    }
    if (banner.trailingNewline) line += '\n';
    return line;
}

}  // namespace qvl
