// The running process as the system numbers it and the UTC calendar time, for
// code above the platform layer that must not call the system itself.
#pragma once

#include <cstdint>
#include <ctime>

namespace qvl::sys {

// The process id; unique among running processes.
std::uint32_t processId();

// The processors this process may run on (its affinity mask, which
// `taskset` narrows); 0 when the system cannot tell.
std::uint32_t usableProcessorCount();

// The UTC calendar time of `seconds` since 1970 in `out`. False when the time
// cannot be broken down (far outside the calendar's range).
bool utcCalendarTime(std::time_t seconds, std::tm& out);

}  // namespace qvl::sys
