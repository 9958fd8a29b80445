#include "core/refused_line_log.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

namespace qvl {

std::chrono::steady_clock::time_point steadyClockNow() { return std::chrono::steady_clock::now(); }

RefusedLineLog::RefusedLineLog(std::vector<std::string> kindNames, SteadyNow now, LogLimits limits)
    : now_(std::move(now)), limits_(limits) {
    kinds_.reserve(kindNames.size());
    for (std::string& name : kindNames) kinds_.push_back({.name = std::move(name), .fullLeft = limits_.firstLines});
}

bool RefusedLineLog::admit(std::size_t kind) {
    const TimePoint now = now_();
    Kind& k = kinds_.at(kind);
    // Seen before the counts are looked at: a flood that goes on is no quiet period.
    k.lastSeen = now;
    if (now >= nextDue_) writeDueCounts();
    if (k.fullLeft > 0) {
        --k.fullLeft;
        return true;
    }
    if (!k.counting) {
        k.counting = true;
        k.countSince = now;
        nextDue_ = std::min(nextDue_, now + limits_.countPeriod);
        gf_log(
            fmt::format("further {} are only counted, one count line every {} s", k.name, limits_.countPeriod.count()));
    }
    ++k.counted;
    return false;
}

void RefusedLineLog::writeDueCounts() {
    const TimePoint now = now_();
    if (now < nextDue_) return;
    nextDue_ = TimePoint::max();
    for (Kind& k : kinds_) {
        if (!k.counting) continue;
        writeDueCount(k, now);
        if (k.counting) nextDue_ = std::min(nextDue_, k.countSince + limits_.countPeriod);
    }
}

void RefusedLineLog::writeDueCount(Kind& k, TimePoint now) const {
    if (now - k.countSince < limits_.countPeriod) return;
    if (k.counted > 0) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - k.countSince).count();
        gf_log(fmt::format("{:5} more {} in the last {} s", k.counted, k.name, seconds));
        k.counted = 0;
    }
    // A whole period without one: the next are news again.
    if (now - k.lastSeen >= limits_.countPeriod) {
        k.counting = false;
        k.fullLeft = limits_.firstLines;
        return;
    }
    k.countSince = now;
}

}  // namespace qvl
