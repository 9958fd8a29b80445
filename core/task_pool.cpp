#include "core/task_pool.h"

#include <fmt/format.h>

#include <limits>

namespace qvl {

std::int32_t scanWorkerCount() noexcept {
    const unsigned hardware = std::thread::hardware_concurrency();
    if (hardware == 0) return 2;
    return static_cast<std::int32_t>(std::min<unsigned>(hardware, std::numeric_limits<std::int32_t>::max()));
}

TaskTimeoutError::TaskTimeoutError(std::chrono::milliseconds timeout)
    : std::runtime_error(
          fmt::format("Future wait timed out after {:g} seconds", static_cast<double>(timeout.count()) / 1000.0)),
      timeout_(timeout) {}

}  // namespace qvl
