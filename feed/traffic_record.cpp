#include "feed/traffic_record.h"

#include <stdexcept>

namespace qvl {

FixedCode3 fixedCode3(std::string_view text) {
    FixedCode3 code;
    if (text.size() != code.bytes.size()) throw std::invalid_argument("FixedCode: invalid string (length/charset)");
    for (std::size_t i = 0; i < code.bytes.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            throw std::invalid_argument("FixedCode: invalid string (length/charset)");
        }
        code.bytes[i] = c;
    }
    return code;
}

}  // namespace qvl
