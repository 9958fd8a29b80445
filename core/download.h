// Downloads from the maker's site over HTTP(S) with libcurl. A file is
// fetched into "<target>.part" and renamed over the target only when the
// whole transfer succeeded, so a failed download never harms a good file.
#pragma once

#include <chrono>
#include <concepts>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

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

// What ends a download before it is complete, besides the site's own
// failure: no connection within the connect time-out; less than one byte a
// second for the stall time; the whole transfer taking longer than the total
// time (a site that trickles a few bytes a second would otherwise hold the
// caller for good); more bytes than the kind of file can have. The defaults
// fit a stand file; each kind below has its own, and tests shorten them.
struct DownloadLimits {
    std::chrono::seconds connectTimeout{15};
    std::chrono::seconds stallTime{30};
    std::chrono::milliseconds totalTime{std::chrono::minutes(10)};
    std::uint64_t maxBytes = std::uint64_t{64} << 20U;
};

inline constexpr std::uint64_t kMebibyte = std::uint64_t{1} << 20U;
// An archived stand file: some hundreds of kilobytes for the largest airport.
inline constexpr DownloadLimits kStandFileLimits{.totalTime = std::chrono::minutes(2), .maxBytes = 16 * kMebibyte};
// versions.json: a few hundred bytes.
inline constexpr DownloadLimits kVersionInfoLimits{.totalTime = std::chrono::seconds(30), .maxBytes = kMebibyte};
// The encrypted reference data files.
inline constexpr DownloadLimits kDataFileLimits{.totalTime = std::chrono::minutes(10), .maxBytes = 256 * kMebibyte};
inline constexpr DownloadLimits kReleaseNotesLimits{.totalTime = std::chrono::minutes(5), .maxBytes = 64 * kMebibyte};
// The program's archive: an installer of some tens of megabytes, packed.
inline constexpr DownloadLimits kProgramArchiveLimits{.totalTime = std::chrono::minutes(30),
                                                      .maxBytes = 512 * kMebibyte};

// Asked while a download runs, whenever data comes and about once a second
// while none does: true ends the download at once (the program closes, or
// another file is wanted instead), and the log says why in the stop's words.
// A download that nothing but its limits may end passes none.
class DownloadStop {
public:
    static constexpr std::string_view kNoLongerNeeded = "no longer needed";

    DownloadStop() = default;
    // Any callable that answers whether to stop; the reason completes the
    // log line "Download of <address> stopped: <reason>".
    template <std::invocable Stopped>
    requires(!std::same_as<std::remove_cvref_t<Stopped>, DownloadStop>)
        DownloadStop(Stopped stopped, std::string_view reason = kNoLongerNeeded)  // NOLINT(google-explicit-constructor)
        : stopped_(std::move(stopped)), reason_(reason) {}

    explicit operator bool() const noexcept { return static_cast<bool>(stopped_); }
    bool operator()() const { return stopped_(); }
    [[nodiscard]] const std::string& reason() const noexcept { return reason_; }

private:
    std::function<bool()> stopped_;
    std::string reason_{kNoLongerNeeded};
};

// "<target>.part": where a download comes in before it is renamed over the
// target.
[[nodiscard]] std::filesystem::path downloadPartFor(const std::filesystem::path& target);

// The base address of the download site, ending in "/downloads/":
// $QVL_DOWNLOAD_BASE when set, else the address the build was configured with.
std::string downloadBase();
// <base><major version of the program>/<file name>.
std::string downloadUrlFor(const std::filesystem::path& fileName);

// Fetches the address into the target (through "<target>.part"), byte for
// byte: a text mode would turn every "\n" into "\r\n" on Windows.
// True when the whole transfer succeeded within the limits and was not
// stopped; every failure and every stop is logged and leaves the target as
// it was.
bool gf_downloadToFile(const CurlHandle& curl, const std::string& url, const std::filesystem::path& target,
                       const DownloadLimits& limits = {}, const DownloadStop& stop = {});

// Fetches one file of the program's download folder into the target. A
// download that failed is logged as failed; one that was stopped is not.
bool gf_downloadFile(const std::filesystem::path& fileName, const std::filesystem::path& target,
                     const DownloadLimits& limits = {}, const DownloadStop& stop = {});

}  // namespace qvl
