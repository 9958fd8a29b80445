// The learned files whose save is under way on a writer's thread. A save is
// marked when it is handed over, so that a read of the same file that starts
// afterwards, on whatever thread, waits for it and reads what it wrote.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

namespace qvl {

// One save of a learned file under way: the mark holds until it ends, or
// until the save is dropped unfinished.
class LearnedSaveMark {
public:
    explicit LearnedSaveMark(const std::filesystem::path& file);
    ~LearnedSaveMark();
    LearnedSaveMark(const LearnedSaveMark&) = delete;
    LearnedSaveMark& operator=(const LearnedSaveMark&) = delete;
    LearnedSaveMark(LearnedSaveMark&&) = delete;
    LearnedSaveMark& operator=(LearnedSaveMark&&) = delete;

private:
    std::filesystem::path file_;
};

// Waits at most `bound` until no save of the file is under way, ending early
// when `stop` says so; true when none is.
bool waitForLearnedSave(const std::filesystem::path& file, std::chrono::milliseconds bound,
                        const std::function<bool()>& stop = {});

}  // namespace qvl
