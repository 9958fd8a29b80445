#include "platform/sys/process.h"

#include <unistd.h>

namespace qvl::sys {

std::uint32_t processId() { return static_cast<std::uint32_t>(::getpid()); }

bool utcCalendarTime(std::time_t seconds, std::tm& out) { return ::gmtime_r(&seconds, &out) != nullptr; }

}  // namespace qvl::sys
