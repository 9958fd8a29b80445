// Downloads from the maker's site over HTTP(S) with libcurl. A file is
// fetched into "<target>.part" and renamed over the target only when the
// whole transfer succeeded, so a failed download never harms a good file.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

using CURL = void;

namespace qvl {

// Owns one curl easy handle.
class CurlHandle {
public:
    CurlHandle();
    ~CurlHandle();
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;
    CURL* get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    CURL* handle_ = nullptr;
};

// Limits that end a download that has stalled: no connection within the
// connect time-out, or less than one byte a second for the stall time. The
// program uses the defaults; tests shorten them per call.
struct DownloadLimits {
    std::chrono::seconds connectTimeout{15};
    std::chrono::seconds stallTime{30};
};

// The base address of the download site, ending in "/downloads/":
// $QVL_DOWNLOAD_BASE when set, else the address the build was configured with.
std::string downloadBase();
// <base><major version of the program>/<file name>.
std::string downloadUrlFor(const std::filesystem::path& fileName);

// Fetches the address into the target (through "<target>.part"), byte for
// byte: a text mode would turn every "\n" into "\r\n" on Windows.
// True when the whole transfer succeeded; every failure is logged.
bool gf_downloadToFile(const CurlHandle& curl, const std::string& url, const std::filesystem::path& target,
                       const DownloadLimits& limits = {});

// Fetches one file of the program's download folder into the target.
bool gf_downloadFile(const std::filesystem::path& fileName, const std::filesystem::path& target,
                     const DownloadLimits& limits = {});

}  // namespace qvl
