#include "feed/feed_status.h"

#include <fmt/format.h>

#include <mutex>
#include <utility>

#include "core/messages.h"
#include "core/run_flags.h"

namespace qvl {
namespace {

constexpr std::int32_t kReaderErrorRestartSeconds = 15;

struct FeedTexts {
    // Leaf lock: hooks are copied out and called after it is released.
    std::mutex mutex;
    std::string realTrafficText;
    std::function<void()> repaint;
    std::function<void()> realTrafficGone;
};

FeedTexts& texts() {
    // Never destroyed: detached reader threads may still report while the process ends.
    static FeedTexts& t = *new FeedTexts;
    return t;
}

}  // namespace

void setRealTrafficText(std::string text) {
    std::lock_guard lock(texts().mutex);
    texts().realTrafficText = std::move(text);
}

std::string realTrafficText() {
    std::lock_guard lock(texts().mutex);
    return texts().realTrafficText;
}

void setFeedRepaintHook(std::function<void()> hook) {
    std::lock_guard lock(texts().mutex);
    texts().repaint = std::move(hook);
}

void repaintFeedStatus() {
    std::function<void()> hook;
    {
        std::lock_guard lock(texts().mutex);
        hook = texts().repaint;
    }
    if (hook) hook();
}

void setRealTrafficGoneHandler(std::function<void()> handler) {
    std::lock_guard lock(texts().mutex);
    texts().realTrafficGone = std::move(handler);
}

void onRealTrafficGone() {
    std::function<void()> handler;
    {
        std::lock_guard lock(texts().mutex);
        handler = texts().realTrafficGone;
    }
    if (handler) handler();
}

void gf_readerStopped(const std::string& readerName, const std::string& error) {
    gf_showMessage(fmt::format("The {} has stopped with error: {}", readerName, error), true);
    endRun(RestartReason::readerError, kReaderErrorRestartSeconds);
}

}  // namespace qvl
