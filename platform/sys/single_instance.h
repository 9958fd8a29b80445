// One running instance per user: an exclusive flock on a lock file named
// after the instance name, held for the life of the object. The lock goes
// away with the process, so a crash never leaves a stale lock behind.
#pragma once

#include <filesystem>
#include <string>

namespace qvl::sys {

class SingleInstance {
public:
    // name: the instance name, e.g. "Local\$QVLT$"; characters that cannot
    // stand in a file name are replaced. folder: where the lock file lives
    // (default: the runtime folder, $XDG_RUNTIME_DIR or the temp folder).
    explicit SingleInstance(const std::string& name, std::filesystem::path folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another instance holds the lock (or the lock file cannot be made).
    bool acquired() const noexcept { return fd_ >= 0; }
    const std::filesystem::path& lockFile() const noexcept { return lockFile_; }

private:
    int fd_ = -1;
    std::filesystem::path lockFile_;
};

}  // namespace qvl::sys
