#include "run_fakes.h"

#include <cstdlib>

#include "core/messages.h"
#include "core/settings.h"
#include "run/main_loop.h"

namespace qvl::test {

std::size_t StepLog::count(const std::string& step) const {
    return static_cast<std::size_t>(std::count_if(
        calls.begin(), calls.end(), [&](const std::string& call) { return call.substr(0, call.find('@')) == step; }));
}

std::vector<std::int32_t> StepLog::secondsOf(const std::string& step) const {
    std::vector<std::int32_t> seconds;
    for (const std::string& call : calls) {
        const std::size_t at = call.find('@');
        if (call.substr(0, at) == step) seconds.push_back(std::stoi(call.substr(at + 1)));
    }
    return seconds;
}

long StepLog::indexOf(const std::string& step) const {
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].substr(0, calls[i].find('@')) == step) return static_cast<long>(i);
    }
    return -1;
}

void RecordingMainLoop::engineTick() {
    log_.note("engineTick");
    if (onEngineTick) onEngineTick();
}

bool RecordingMainLoop::takeOneSecond() {
    const bool taken = secondPending || secondEveryTick;
    secondPending = secondArrivesLater;
    secondArrivesLater = false;
    return taken;
}

void StepLog::note(const std::string& step) {
    calls.push_back(step + "@" + std::to_string(loop_.secondsCounter));
    if (onStep) onStep();
}

RunTest::RunTest() : previousFolder_(std::filesystem::current_path()) {
    std::filesystem::create_directories(dir / "docs");
    std::filesystem::create_directories(dir / "roaming" / "Quorvelant");
    ::setenv("QVL_ROAMING_DIR", (dir / "roaming").c_str(), 1);
    std::filesystem::current_path(dir.path());
    resetAllSettings();
    resetMessages();
    attachRunState(&run);
    begin_ = clock.now();
}

RunTest::~RunTest() {
    attachRunState(nullptr);
    resetMessages();
    std::filesystem::current_path(previousFolder_);
    ::unsetenv("QVL_ROAMING_DIR");
}

std::size_t RunTest::logCount(const std::string& text) const {
    const std::string all = log();
    std::size_t n = 0;
    for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++n;
    return n;
}

void RunTest::runSeconds(int count) {
    for (int i = 0; i < count; ++i) {
        mainLoop.secondPending = true;
        lf_tick(control);
    }
}

}  // namespace qvl::test
