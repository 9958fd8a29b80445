#include "platform/sim/sim_api.h"

#include <algorithm>

namespace qvl::sim {

std::span<const std::byte> trailingBytes(const RecvHeader* message, std::uint32_t size, std::size_t recordSize) {
    if (message == nullptr) return {};
    const std::size_t total = std::min<std::size_t>(size, message->size);
    if (total <= recordSize) return {};
    const auto* bytes = reinterpret_cast<const std::byte*>(message);
    return {bytes + recordSize, total - recordSize};
}

std::string fixedText(const char* field, std::size_t fieldSize) {
    if (field == nullptr) return {};
    const auto* end = static_cast<const char*>(std::memchr(field, 0, fieldSize));
    return std::string(field, end == nullptr ? fieldSize : static_cast<std::size_t>(end - field));
}

std::string fixedText(std::span<const std::byte> field) {
    return fixedText(reinterpret_cast<const char*>(field.data()), field.size());
}

void writeFixedText(char* field, std::size_t fieldSize, std::string_view text, bool terminate) {
    if (fieldSize == 0) return;
    std::memset(field, 0, fieldSize);
    const std::size_t room = terminate ? fieldSize - 1 : fieldSize;
    std::memcpy(field, text.data(), std::min(room, text.size()));
}

}  // namespace qvl::sim
