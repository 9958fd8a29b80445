#include "core/random.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <thread>

#include "core/settings.h"

namespace qvl {

namespace {

std::mt19937 seededEngine() {
    std::random_device device;
    const auto nanoseconds = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
    const std::size_t threadHash = std::hash<std::thread::id>{}(std::this_thread::get_id());
    const std::array<std::uint32_t, 4> words{
        static_cast<std::uint32_t>(device()),
        static_cast<std::uint32_t>(nanoseconds & 0xFFFFFFFFU),
        static_cast<std::uint32_t>(nanoseconds >> 32U),
        static_cast<std::uint32_t>(threadHash & 0xFFFFFFFFU),
    };
    std::seed_seq sequence(words.begin(), words.end());
    return std::mt19937(sequence);
}

}  // namespace

std::mt19937& randomEngine() {
    thread_local std::mt19937 engine = seededEngine();
    return engine;
}

std::uint64_t gf_randomIndex(std::uint64_t n) {
    if (n < 2 || !RANDOM.value()) {
        return 0;
    }
    std::uniform_int_distribution<std::uint64_t> distribution(0, n - 1);
    return distribution(randomEngine());
}

void gf_shuffle(std::vector<std::uint16_t>& ids) {
    if (ids.size() < 2 || !RANDOM.value()) {
        return;
    }
    std::shuffle(ids.begin(), ids.end(), randomEngine());
}

double gf_randomizePercent(double value, double percent) {
    const bool minus = (randomEngine()() & 1U) != 0;
    if (percent <= 0.0) {
        return value;
    }
    const double sign = minus ? -1.0 : 1.0;
    return value + sign * value * percent / 100.0;
}

bool gf_isStarVariant(std::string_view text1, std::string_view text2) {
    return text2.size() == text1.size() + 1 && text2.back() == '*' && text2.starts_with(text1);
}

}  // namespace qvl
