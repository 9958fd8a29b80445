// One installed livery as the scan finds it and LiveriesScanned.xml keeps it:
// its title (the name under which the simulator creates the aircraft), its
// registration, and the key under which the catalogue files it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "refdata/code_table.h"
#include "refdata/dbase.h"

namespace qvl {

// The fictional airline of generic liveries, and the airline of private
// aircraft.
inline constexpr std::string_view kFictionalAirline = "ZZZ";
inline constexpr std::string_view kPrivateAirline = "PVT";

// The identity of a livery, packed in 64 bits as the traffic records carry it:
// airline id in bits 0-15, second airline id (0 = none) in 16-31, model id in
// 32-47, cargo flag in 48-55 and a marker byte in 56-63. A key taken from a
// registration record carries that record's marker; keys built from texts
// carry 0. No reader looks at the marker and it is never stored.
struct LiveryKey {
    std::uint16_t airlineId = 0;
    std::uint16_t secondAirlineId = 0;
    std::uint16_t modelId = 0;
    std::uint8_t cargo = 0;
    std::uint8_t marker = 0;

    [[nodiscard]] constexpr std::uint64_t packed() const noexcept {
        return std::uint64_t{airlineId} | (std::uint64_t{secondAirlineId} << 16U) | (std::uint64_t{modelId} << 32U) |
               (std::uint64_t{cargo} << 48U) | (std::uint64_t{marker} << 56U);
    }
    static constexpr LiveryKey fromPacked(std::uint64_t bits) noexcept {
        return {.airlineId = static_cast<std::uint16_t>(bits & 0xFFFFU),
                .secondAirlineId = static_cast<std::uint16_t>((bits >> 16U) & 0xFFFFU),
                .modelId = static_cast<std::uint16_t>((bits >> 32U) & 0xFFFFU),
                .cargo = static_cast<std::uint8_t>((bits >> 48U) & 0xFFU),
                .marker = static_cast<std::uint8_t>(bits >> 56U)};
    }
    // A key without airline or model stands for no livery.
    [[nodiscard]] constexpr bool usable() const noexcept { return airlineId != 0 && modelId != 0; }

    friend bool operator==(const LiveryKey&, const LiveryKey&) = default;
};
static_assert(sizeof(LiveryKey) == 8, "a livery key packs into 64 bits");

// A registration record's key, operator as second airline.
constexpr LiveryKey liveryKeyOf(const DbaseKey& key) noexcept {
    return {.airlineId = key.airlineId,
            .secondAirlineId = key.operatorId,
            .modelId = key.modelId,
            .cargo = key.cargo,
            .marker = key.marker};
}

struct LiveryData {
    std::string title;
    std::string registration;  // may be empty
    LiveryKey key;
    // Place of the package folder in the scan order (1 = first); only the
    // dropping of lower-priority duplicates reads it. Not stored in
    // LiveriesScanned.xml: records read back carry 0.
    std::int16_t folderIndex = 0;
};

// The scanned liveries, in the order they were found or, once sorted, in
// livery order.
using LiveryList = std::vector<LiveryData>;

// How far ahead loops that visit liveries out of their memory order ask for
// the next ones' bytes.
inline constexpr std::size_t kLiveryPrefetchDistance = 8;

// Asks the processor to fetch the bytes at `at` ahead of their use; a
// compiler without the hint leaves it out.
inline void prefetchMemory(const void* at) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(at);
#else
    (void)at;
#endif
}

// The record's title bytes ahead of their use: a sorted list visits records,
// and titles, in random memory order.
inline void prefetchLivery(const LiveryData& livery) noexcept { prefetchMemory(livery.title.data()); }

// Livery order: airline code text, then second airline code text (none sorts
// first), then model code text, then title; texts compare byte by byte.
// Equal ids skip their text comparison. The cargo flag, the registration and
// the folder index take no part.
bool lf_liveryLess(const LiveryData& x, const LiveryData& y);

enum class RepeatedLiveries : std::uint8_t {
    keep,
    // Each record equal to the one before it in title, airline, second
    // airline, model and registration is dropped (the cargo flag is not
    // compared): the first of equal records stays.
    drop,
};

struct LiverySorting {
    RepeatedLiveries repeated = RepeatedLiveries::keep;
    // Of the records of one airline, second airline and model, only those
    // of the lowest folder index that has them stay.
    bool lowestFolderOnly = false;
};

// Places in a LiveryList.
using LiveryOrder = std::vector<std::uint32_t>;

// The places of the records in stable livery order, without what `how` asks
// to drop; the records stay where they are. std::length_error beyond 2^32
// records.
LiveryOrder sortedLiveryOrder(const LiveryList& liveries, const LiverySorting& how = {});

// Stable sort into livery order, dropping what `how` asks to drop.
void sortLiveries(LiveryList& liveries, const LiverySorting& how = {});

// Equal in what LiveriesScanned.xml keeps of a livery but the cargo flag.
bool sameStoredLivery(const LiveryData& a, const LiveryData& b);

// The codes as Log.txt names them: "{:3}{:4} {:4}{}{:3}" with airline, ","
// and second airline (when set), model, "." for a set marker else a blank,
// "(C)" for cargo.
std::string gf_codeText(const LiveryKey& key);

}  // namespace qvl
