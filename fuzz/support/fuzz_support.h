// Shared ground of the fuzz targets: a scratch folder per fuzzing process,
// the check that turns a broken rule into a finding, and the settings reset.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/settings.h"

namespace qvl::fuzz {

// The input as text; libFuzzer hands out unsigned bytes.
inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A result that breaks a rule the code promises: abort, so that libFuzzer
// keeps the input as a finding and the message says which rule it broke.
[[noreturn]] inline void fail(std::string_view rule) {
    std::fprintf(stderr, "\n*** fuzz check failed: %.*s\n", static_cast<int>(rule.size()), rule.data());
    std::abort();
}

inline void expect(bool holds, std::string_view rule) {
    if (!holds) fail(rule);
}

// A fresh folder for the process, removed at its normal end. It lives in
// $QVL_FUZZ_SCRATCH when set (run_all.sh sets it, and removes what a crashed
// process leaves), else on tmpfs when there is one: the program flushes every
// file it saves to disk, which would make file targets crawl on a real disk.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view name) {
        namespace fs = std::filesystem;
        path_ = baseFolder() / ("qvl-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()));
        std::error_code ec;
        fs::remove_all(path_, ec);
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    static std::filesystem::path baseFolder() {
        namespace fs = std::filesystem;
        if (const char* chosen = std::getenv("QVL_FUZZ_SCRATCH"); chosen != nullptr && *chosen != '\0') return chosen;
        std::error_code ec;
        const fs::path shm("/dev/shm");
        return fs::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0 ? shm : fs::temp_directory_path();
    }

    std::filesystem::path path_;
};

// The scratch folder as the working folder for one input, so the program's
// relative paths (input/, the files an upgrade removes) land there and never
// in the folder the fuzzer was started from. Only for the length of one
// input: libFuzzer resolves the paths it was given against the working folder.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path previous_;
};

inline void writeBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    expect(out.good(), "the fuzz target could write its input file");
}

// Every setting back to its default, so one input never sees another's values.
inline void resetAllSettings() { qvl::resetAllSettings(); }

}  // namespace qvl::fuzz
