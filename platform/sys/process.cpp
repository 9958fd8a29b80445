#include "platform/sys/process.h"

#include <sched.h>
#include <unistd.h>

#include <ctime>

namespace qvl::sys {

std::uint32_t processId() { return static_cast<std::uint32_t>(::getpid()); }

bool utcCalendarTime(std::time_t seconds, std::tm& out) { return ::gmtime_r(&seconds, &out) != nullptr; }

std::uint32_t usableProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof(set), &set) != 0) return 0;
    const int count = CPU_COUNT(&set);
    return count > 0 ? static_cast<std::uint32_t>(count) : 0;
}

}  // namespace qvl::sys
