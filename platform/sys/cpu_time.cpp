#include "platform/sys/cpu_time.h"

#include <ctime>

namespace qvl::sys {

std::chrono::nanoseconds threadCpuTime() noexcept {
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return std::chrono::nanoseconds{0};
    return std::chrono::seconds{now.tv_sec} + std::chrono::nanoseconds{now.tv_nsec};
}

}  // namespace qvl::sys
