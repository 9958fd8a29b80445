// The error for problems that the user has to act on. Its code travels inside
// its text: handlers that react to a code compare the beginning of what().
#pragma once

#include <stdexcept>
#include <string>

namespace qvl {

class UserErrorException : public std::runtime_error {
public:
    // what() is "<code>: <message>"; code 99 shows the message alone.
    UserErrorException(int code, const std::string& message);
};

}  // namespace qvl
