#include "core/strings.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "core/settings.h"

namespace qvl {

bool gf_contains(const std::string& text, const char* needle) {
    if (needle == nullptr) return true;
    return text.find(needle) != std::string::npos;
}

std::string lf_trimCopy(std::string_view text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kWhiteSpace);
    return std::string(text.substr(first, last - first + 1));
}

std::string lf_trimmedPiece(std::string_view piece) { return lf_trimCopy(piece); }

std::vector<std::string> lf_splitTrimmed(std::string_view text, char separator, EmptyPieces empties) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find(separator, start);
        const auto piece = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        auto trimmed = lf_trimmedPiece(piece);
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

void trimBlanks(std::string& text) { text = lf_trimCopy(text); }

char lf_toUpperChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<char>(u - 'a' + 'A') : c;
}

void toUpperInPlace(std::string& text) {
    std::transform(text.begin(), text.end(), text.begin(), lf_toUpperChar);
}

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
    if (SIM_CHOICE.value() == "MSFS 2020") return fmt::format("{}", objectId);
    return fmt::format("{:x}", objectId);
}

namespace {

struct SocketErrorName {
    int code;
    std::string_view text;
};

// Texts as the program has always shown them, spelling included.
constexpr SocketErrorName kSocketErrors[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open sockets"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Messenger too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Net connection reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send numLines socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network system is unavailable"},
    {10092, "Winsock version out of range"},
    {10093, "WSAStartup not yet called"},
    {10101, "Graceful shutdown in progress"},
    {11001, "Host not found"},
    {11004, "No host data of that type was found"},
};

}  // namespace

std::string gf_socketErrorText(int code) {
    for (const auto& e : kSocketErrors) {
        if (e.code == code) return fmt::format("{} {}", code, e.text);
    }
    return fmt::format("{} {}", code, "Unknown errror code");
}

}  // namespace qvl
