#include "core/strings.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "core/settings.h"
#include "platform/net/wsa_error.h"
#include "platform/sys/ascii.h"

namespace qvl {

bool gf_contains(const std::string& text, const char* needle) {
    if (needle == nullptr) return true;
    return text.find(needle) != std::string::npos;
}

std::string_view trimView(std::string_view text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

std::string lf_trimCopy(std::string_view text) { return std::string(trimView(text)); }

std::vector<std::string> lf_splitTrimmed(std::string_view text, char separator, EmptyPieces empties) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find(separator, start);
        const auto piece = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        auto trimmed = lf_trimCopy(piece);
        if (!trimmed.empty() || empties == EmptyPieces::keep) pieces.push_back(std::move(trimmed));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return pieces;
}

std::vector<std::string> gf_splitCommaView(std::string_view text) { return lf_splitTrimmed(text, ','); }

std::vector<std::string> gf_splitCommaTrimmed(const std::string& text) { return lf_splitTrimmed(text, ','); }

std::list<std::string> gf_splitComma(const std::string& text) {
    auto pieces = lf_splitTrimmed(text, ',');
    std::list<std::string> out(pieces.begin(), pieces.end());
    out.sort();
    out.unique();
    return out;
}

void gf_trim(std::string& text) {
    if (text.empty() || text.find_first_of(kWhiteSpace) == std::string::npos) return;
    const auto pieces = lf_splitTrimmed(text, ',');
    std::string joined;
    for (const auto& p : pieces) {
        if (!joined.empty()) joined += ',';
        joined += p;
    }
    text = std::move(joined);
}

char lf_toUpperChar(char c) { return sys::asciiUpper(c); }

void toUpperInPlace(std::string& text) { std::transform(text.begin(), text.end(), text.begin(), lf_toUpperChar); }

bool gf_upperEquals(const std::string& text, std::string_view upper) {
    return std::equal(text.begin(), text.end(), upper.begin(), upper.end(),
                      [](char c, char u) { return lf_toUpperChar(c) == u; });
}

std::string_view gf_pluralSuffix(std::int64_t count) { return (count == 1 || count < 0) ? "" : "s"; }

std::string_view gf_pluralSuffixInt(std::int32_t count) { return gf_pluralSuffix(count); }

std::string_view gf_pluralSuffixSize(std::uint64_t count) { return count == 1 ? "" : "s"; }

std::int32_t gf_percent(std::int64_t part, std::int64_t whole) {
    if (whole < 1) return 0;
    const double p = std::round(static_cast<double>(part) * 100.0 / static_cast<double>(whole));
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(p, lo, hi));
}

std::string gf_numberText(float value) {
    if (std::fmod(value, 1.0f) != 0.0f) return fmt::format("{:.1f}", value);
    return fmt::format("{:.0f}", value);
}

std::string gf_objectIdText(std::uint32_t objectId) {
    if (SIM_CHOICE.value() == kSimChoice2020) return fmt::format("{}", objectId);
    return fmt::format("{:x}", objectId);
}

namespace {

struct SocketErrorName {
    int code;
    std::string_view text;
};

// Texts as the program has always shown them, spelling included.
constexpr SocketErrorName kSocketErrors[] = {
    {net::kWsaEIntr, "Interrupted system call"},
    {net::kWsaEBadF, "Bad file number"},
    {net::kWsaEAcces, "Permission denied"},
    {net::kWsaEFault, "Bad address"},
    {net::kWsaEInval, "Invalid argument"},
    {net::kWsaEMFile, "Too many open sockets"},
    {net::kWsaEWouldBlock, "Operation would block"},
    {net::kWsaEInProgress, "Operation now in progress"},
    {net::kWsaEAlready, "Operation already in progress"},
    {net::kWsaENotSock, "Socket operation on non-socket"},
    {net::kWsaEDestAddrReq, "Destination address required"},
    {net::kWsaEMsgSize, "Messenger too long"},
    {net::kWsaEPrototype, "Protocol wrong type for socket"},
    {net::kWsaENoProtoOpt, "Bad protocol option"},
    {net::kWsaEProtoNoSupport, "Protocol not supported"},
    {net::kWsaESocktNoSupport, "Socket type not supported"},
    {net::kWsaEOpNotSupp, "Operation not supported on socket"},
    {net::kWsaEPfNoSupport, "Protocol family not supported"},
    {net::kWsaEAfNoSupport, "Address family not supported"},
    {net::kWsaEAddrInUse, "Address already in use"},
    {net::kWsaEAddrNotAvail, "Can't assign requested address"},
    {net::kWsaENetDown, "Network is down"},
    {net::kWsaENetUnreach, "Network is unreachable"},
    {net::kWsaENetReset, "Net connection reset"},
    {net::kWsaEConnAborted, "Software caused connection abort"},
    {net::kWsaEConnReset, "Connection reset by peer"},
    {net::kWsaENoBufs, "No buffer space available"},
    {net::kWsaEIsConn, "Socket is already connected"},
    {net::kWsaENotConn, "Socket is not connected"},
    {net::kWsaEShutdown, "Can't send numLines socket shutdown"},
    {net::kWsaETooManyRefs, "Too many references, can't splice"},
    {net::kWsaETimedOut, "Connection timed out"},
    {net::kWsaEConnRefused, "Connection refused"},
    {net::kWsaELoop, "Too many levels of symbolic links"},
    {net::kWsaENameTooLong, "File name too long"},
    {net::kWsaEHostDown, "Host is down"},
    {net::kWsaEHostUnreach, "No route to host"},
    {net::kWsaENotEmpty, "Directory not empty"},
    {net::kWsaEProcLim, "Too many processes"},
    {net::kWsaEUsers, "Too many users"},
    {net::kWsaEDQuot, "Disc quota exceeded"},
    {net::kWsaEStale, "Stale NFS file handle"},
    {net::kWsaERemote, "Too many levels of remote in path"},
    {net::kWsaSysNotReady, "Network system is unavailable"},
    {net::kWsaVerNotSupported, "Winsock version out of range"},
    {net::kWsaNotInitialised, "WSAStartup not yet called"},
    {net::kWsaEDiscon, "Graceful shutdown in progress"},
    {net::kWsaHostNotFound, "Host not found"},
    {net::kWsaNoData, "No host data of that type was found"},
};

}  // namespace

std::string gf_socketErrorText(int code) {
    for (const auto& e : kSocketErrors) {
        if (e.code == code) return fmt::format("{} {}", code, e.text);
    }
    return fmt::format("{} {}", code, "Unknown errror code");
}

}  // namespace qvl
