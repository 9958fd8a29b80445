#include "core/threads_left_behind.h"

#include <mutex>

namespace qvl {
namespace {

struct LeftBehind {
    std::mutex mutex;  // a leaf lock: guards the names
    std::vector<std::string> threads;
};

// Never destroyed: a thread left behind may record after static destruction began.
LeftBehind& leftBehind() {
    static LeftBehind* const record = new LeftBehind;
    return *record;
}

}  // namespace

void recordThreadLeftBehind(std::string_view thread) {
    LeftBehind& record = leftBehind();
    const std::scoped_lock lock(record.mutex);
    record.threads.emplace_back(thread);
}

std::vector<std::string> threadsLeftBehind() {
    LeftBehind& record = leftBehind();
    const std::scoped_lock lock(record.mutex);
    return record.threads;
}

}  // namespace qvl
