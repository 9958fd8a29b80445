// Random choices: a livery among equals, a shuffled list of similar models, a
// pitch spread, a lit cabin. Every thread draws from its own engine, so no
// lock is taken and each thread's sequence is independent of the others.
// The setting RANDOM switches random choice off for reproducible runs; the
// percentage spread is random either way.
#pragma once

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

namespace qvl {

// The calling thread's engine, created and seeded at the thread's first use
// from the random device, the steady clock (low and high half of its
// nanoseconds) and the hash of the thread's id, through a seed sequence.
std::mt19937& randomEngine();

// A uniform, unbiased index in [0, n). 0 without drawing when RANDOM is off or
// n is below 2.
std::uint64_t gf_randomIndex(std::uint64_t n);

// Uniform shuffle in place when RANDOM is on and there are at least two ids;
// otherwise the list is left alone.
void gf_shuffle(std::vector<std::uint16_t>& ids);

// value plus or minus exactly value x percent / 100, the sign by one random
// bit (0: plus). A percent of 0 or less gives the value back, though the bit
// is still drawn. RANDOM is not consulted.
double gf_randomizePercent(double value, double percent);

// True when text2 is text1 followed by one "*" (a static parked aircraft's
// callsign beside the live one).
bool gf_isStarVariant(std::string_view text1, std::string_view text2);

}  // namespace qvl
