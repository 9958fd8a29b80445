#include "core/task_pool.h"

#include <fmt/format.h>

#include <limits>

#include "platform/sys/process.h"

namespace qvl {

std::int32_t scanWorkerCount() noexcept {
    // The processors this process may use, not all the machine has: under
    // `taskset -c 2,3` more workers than two only take turns.
    std::uint32_t processors = sys::usableProcessorCount();
    if (processors == 0) processors = std::thread::hardware_concurrency();
    if (processors == 0) return 2;
    return static_cast<std::int32_t>(
        std::min<std::uint32_t>(processors, static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())));
}

TaskTimeoutError::TaskTimeoutError(std::chrono::milliseconds timeout)
    : std::runtime_error(
          fmt::format("Future wait timed out after {:g} seconds", static_cast<double>(timeout.count()) / 1000.0)),
      timeout_(timeout) {}

}  // namespace qvl
