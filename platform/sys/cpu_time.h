// The processor time the calling thread has used, for the scans' own
// accounting of where their time goes (wall time on a busy machine says
// little about the work).
#pragma once

#include <chrono>

namespace qvl::sys {

// The calling thread's CPU time so far (user and system); zero when the
// system cannot tell.
[[nodiscard]] std::chrono::nanoseconds threadCpuTime() noexcept;

}  // namespace qvl::sys
