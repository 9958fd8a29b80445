#include "platform/sys/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qvl::sys {
namespace {

// Closes the descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&&) = delete;
    FileDescriptor& operator=(FileDescriptor&&) = delete;

    [[nodiscard]] int get() const noexcept { return fd_; }

private:
    int fd_;
};

WholeFile failed(WholeFileError error) { return {.error = error, .bytes = {}}; }

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{.device = static_cast<std::uint64_t>(status.st_dev),
                        .file = static_cast<std::uint64_t>(status.st_ino)};
}

WholeFile readWholeFile(const std::filesystem::path& path, std::uintmax_t maxSize) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return failed(WholeFileError::missing);
        return failed(errno == EISDIR ? WholeFileError::folder : WholeFileError::notOpened);
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return failed(WholeFileError::readFailed);
    if (S_ISDIR(status.st_mode)) return failed(WholeFileError::folder);
    const auto size = static_cast<std::uintmax_t>(status.st_size);
    if (size > maxSize) return failed(WholeFileError::tooLarge);
    WholeFile file;
    file.bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < file.bytes.size()) {
        const ssize_t n = ::read(fd.get(), file.bytes.data() + done, file.bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed(WholeFileError::readFailed);
        if (n == 0) break;  // shortened while read: what is there is the file
        done += static_cast<std::size_t>(n);
    }
    file.bytes.resize(done);
    return file;
}

}  // namespace qvl::sys
