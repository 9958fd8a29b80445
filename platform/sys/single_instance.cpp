#include "platform/sys/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace qvl::sys {
namespace {

std::string lockFileName(const std::string& name) {
    std::string out;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        out += plain ? c : '_';
    }
    return out + ".lock";
}

std::filesystem::path runtimeFolder() {
    if (const char* v = std::getenv("XDG_RUNTIME_DIR"); v != nullptr && *v != '\0') return v;
    std::error_code ec;
    auto tmp = std::filesystem::temp_directory_path(ec);
    return ec ? std::filesystem::path("/tmp") : tmp;
}

}  // namespace

SingleInstance::SingleInstance(const std::string& name, std::filesystem::path folder) {
    if (folder.empty()) folder = runtimeFolder();
    lockFile_ = folder / lockFileName(name);
    fd_ = ::open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

}  // namespace qvl::sys
