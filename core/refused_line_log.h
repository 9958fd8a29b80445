// Log lines about refused input, kept few: a flood of bad input must never
// flood Log.txt, whose every line goes to the file at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/log.h"

namespace qvl {

// What a log limiter reads of time; tests give a manual clock.
using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;
std::chrono::steady_clock::time_point steadyClockNow();

struct LogLimits {
    // Lines of a kind logged in full before the rest are only counted.
    std::uint32_t firstLines = 5;
    // How often the count of the lines not logged goes to the log.
    std::chrono::seconds countPeriod{60};
};

// The log lines about refused input, by kind, so that a flood of bad input
// never floods Log.txt. Of each kind the first few lines are logged in full,
// with a note that further ones are only counted; the count goes to the log
// once a period ("  583 more <kind> in the last 60 s"). A kind that stays
// quiet for a whole period starts afresh with its first few lines.
// Not locked: one thread at a time uses it (its owner's).
class RefusedLineLog {
public:
    // One name per kind, as the count line names it ("refused traffic lines
    // (lat)"); a kind is its name's index.
    RefusedLineLog(std::vector<std::string> kindNames, SteadyNow now, LogLimits limits = {});

    // Whether this line of the kind is to be logged in full (by the caller);
    // false when it was counted instead.
    bool admit(std::size_t kind);
    // admit, and the line is built and logged only when admitted.
    template <typename MakeLine>
    void log(std::size_t kind, MakeLine&& makeLine) {
        if (admit(kind)) gf_log(makeLine());
    }
    // Writes the count lines that are due. Every admit does; the owner also
    // calls it now and then, so that the count of a flood that stopped is
    // not held back until the next refused line.
    void writeDueCounts();

    // Lines of the kind counted and not yet in a count line.
    [[nodiscard]] std::uint64_t counted(std::size_t kind) const { return kinds_.at(kind).counted; }

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Kind {
        std::string name;
        std::uint32_t fullLeft = 0;  // lines still to log in full
        bool counting = false;       // the first few are used up
        std::uint64_t counted = 0;
        TimePoint countSince{};
        TimePoint lastSeen{};
    };
    void writeDueCount(Kind& kind, TimePoint now) const;

    std::vector<Kind> kinds_;
    SteadyNow now_;
    LogLimits limits_;
    TimePoint nextDue_ = TimePoint::max();  // the earliest count line due
};

}  // namespace qvl
