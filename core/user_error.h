// The error for problems that the user has to act on. It carries its code
// beside its text, so handlers decide by code() and never by the wording.
#pragma once

#include <stdexcept>
#include <string>

namespace qvl {

class UserErrorException : public std::runtime_error {
public:
    // what() is "<code>: <message>"; code 99 shows the message alone.
    UserErrorException(int code, const std::string& message);

    [[nodiscard]] int code() const noexcept { return code_; }

private:
    int code_;
};

}  // namespace qvl
