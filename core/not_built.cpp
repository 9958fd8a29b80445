#include "core/not_built.h"

#include <fmt/format.h>

#include <algorithm>
#include <mutex>

#include "core/log.h"

namespace qvl {
namespace {

// A leaf lock: nothing else is taken while it is held (the log line is
// written after it is released).
std::mutex loggedMutex;
std::vector<std::string> logged;

}  // namespace

void notBuiltYet(std::string_view feature) {
    {
        const std::lock_guard lock(loggedMutex);
        if (std::find(logged.begin(), logged.end(), feature) != logged.end()) return;
        logged.emplace_back(feature);
    }
    gf_log(fmt::format("not built yet: {}", feature));
}

std::vector<std::string> notBuiltLogged() {
    const std::lock_guard lock(loggedMutex);
    return logged;
}

}  // namespace qvl
