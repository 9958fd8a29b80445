// 64-bit FNV-1a: the hash of the reference tables' text keys. Cheap for the
// short codes they hold (4 characters for a type, 3 for an airline).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvl {

constexpr std::uint64_t fnv1a64(std::string_view text) noexcept {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

// Hasher for unordered containers keyed by text; transparent, so a lookup by
// string_view builds no std::string.
struct Fnv1aHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return static_cast<std::size_t>(fnv1a64(text)); }
    std::size_t operator()(const std::string& text) const noexcept { return (*this)(std::string_view(text)); }
    std::size_t operator()(const char* text) const noexcept { return (*this)(std::string_view(text)); }
};

}  // namespace qvl
