// Log.txt: the program's only trace. Three writers share one mutex so that
// lines from different threads never interleave. Lines end in a bare "\n" and
// carry no time stamp. Every writer is silent while the log is closed.
//
// Every line is handed to the system as it is written (a flush of the stream,
// no sync to disk): the lines carry no time stamp, so a line that reached the
// file late would be read as happening late, and a killed program would lose
// whatever its stream still held. A flood of bad input must therefore never
// reach the writers line by line: RefusedLineLog (refused_line_log.h) keeps it
// to a few lines and a count a minute.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace qvl {

struct RunState;

// Widths of the settings listing's headings: together 80 columns.
inline constexpr int kBannerWidth2 = 10;
inline constexpr int kBannerWidth1 = 80 - kBannerWidth2;

void gf_log(std::string_view text);
// "==> " before the line.
void gf_logAttention(std::string_view text);
// Ten blanks before the line.
void gf_logContinuation(std::string_view text);
// Flushes the stream, when open (every writer does so already).
void gf_flushLog();
// gf_log; the name says what callers rely on: the line is in the file at once.
void gf_logLineAndFlush(std::string_view line);
// The process's last line, "==> " before it, for an end that must not wait
// for good: a writer blocked in a write of Log.txt (a program folder on a
// share that stopped answering) holds the log's lock, so the lock is waited
// for at most `wait`. False when it did not come, or the log is closed: the
// line is then not written. The write itself may still block; the caller
// bounds that.
bool logLastLine(std::string_view text, std::chrono::milliseconds wait);
// gf_log unless the run is closing or the window's close was requested.
void gf_logUnlessClosing(const std::string& line);
// The run whose closing flags silence gf_logUnlessClosing; nullptr detaches.
// The owner of the run attaches it and detaches it before the run state ends.
void attachRunState(const RunState* run);

// Opens "Log.txt" in the working folder after keeping three older copies
// (Log0.txt, Log00.txt, Log000.txt) and writes the banner line.
// Throws std::runtime_error "Failed to write file <path>" when it cannot open.
void gf_openLog();
// The same for another path; used by tests and tools.
void openLogAt(const std::filesystem::path& path);
// Closes the stream (tests, and the very end of the process).
void closeLog();
bool logIsOpen();

// What a heading line of '*' holds; callers fill it by name:
//   gf_starBanner({.width1 = kBannerWidth1, .width2 = 0, .leadingNewline = true, .title = "parameters"})
struct StarBanner {
    int width1 = kBannerWidth1;
    int width2 = kBannerWidth2;
    bool leadingNewline = false;
    bool trailingNewline = false;
    std::string_view title{};
};

// A heading line of '*' around a title (see log.cpp for the layout rules);
// callers log it with gf_log.
std::string gf_starBanner(const StarBanner& banner);

}  // namespace qvl
