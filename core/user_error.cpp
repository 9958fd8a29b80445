#include "core/user_error.h"

#include <fmt/format.h>

namespace qvl {

namespace {

// Code 99 carries a complete sentence for the user; every other code stays
// in front of the message so handlers can tell the cases apart.
constexpr int kMessageOnlyCode = 99;

std::string userErrorText(int code, const std::string& message) {
    if (code == kMessageOnlyCode) {
        return message;
    }
    return fmt::format("{}: {}", code, message);
}

}  // namespace

UserErrorException::UserErrorException(int code, const std::string& message)
    : std::runtime_error(userErrorText(code, message)), code_(code) {}

}  // namespace qvl
