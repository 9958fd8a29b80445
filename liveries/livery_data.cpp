#include "liveries/livery_data.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace qvl {
namespace {

// Id 0 is "none" in every field and sorts first, whatever text the table
// holds under it.
std::string_view airlineText(CodeId id) { return id == 0 ? std::string_view{} : airlineCodeOf(id); }
std::string_view modelText(CodeId id) { return id == 0 ? std::string_view{} : modelCodeOf(id); }

}  // namespace

bool lf_liveryLess(const LiveryData& x, const LiveryData& y) {
    const LiveryKey& a = x.key;
    const LiveryKey& b = y.key;
    if (a.airlineId != b.airlineId) return airlineText(a.airlineId) < airlineText(b.airlineId);
    if (a.secondAirlineId != b.secondAirlineId) return airlineText(a.secondAirlineId) < airlineText(b.secondAirlineId);
    if (a.modelId != b.modelId) return modelText(a.modelId) < modelText(b.modelId);
    return x.title < y.title;
}

namespace {

// A livery's place in livery order as numbers, so that most comparisons read
// neither a code table nor a title: the ranks of its codes' texts, packed
// into one number, then eight bytes of its title from where the titles of
// its group begin to differ. Only titles that agree in those eight bytes are
// compared whole, and the index keeps the order of equal liveries.
struct SortKey {
    std::uint64_t group = 0;
    std::uint64_t titleBytes = 0;
    std::uint32_t index = 0;
};

constexpr std::size_t kCodeIdCount = std::size_t{1} << 16U;
constexpr std::size_t kKeyTitleBytes = 8;

// Rank of every code id in use, by its text (id 0, none, first): ids with
// the same text share a rank.
std::vector<std::uint16_t> codeRanks(const std::vector<bool>& used, std::string_view (*textOf)(CodeId)) {
    std::vector<CodeId> ids;
    for (std::size_t id = 0; id < kCodeIdCount; ++id) {
        if (used[id]) ids.push_back(static_cast<CodeId>(id));
    }
    std::sort(ids.begin(), ids.end(), [textOf](CodeId a, CodeId b) { return textOf(a) < textOf(b); });
    std::vector<std::uint16_t> ranks(kCodeIdCount, 0);
    std::uint16_t rank = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0 && textOf(ids[i]) != textOf(ids[i - 1])) ++rank;
        ranks[ids[i]] = rank;
    }
    return ranks;
}

// The title's bytes from `from` on, big-endian, zero-padded: numbers that
// compare as the bytes do.
std::uint64_t titleBytesFrom(std::string_view title, std::size_t from) {
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < kKeyTitleBytes; ++i) {
        const std::size_t at = from + i;
        bytes = (bytes << 8U) | (at < title.size() ? static_cast<unsigned char>(title[at]) : 0U);
    }
    return bytes;
}

std::size_t commonPrefix(std::string_view a, std::string_view b) {
    const auto [ai, bi] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return static_cast<std::size_t>(ai - a.begin());
}

std::vector<SortKey> groupKeys(const LiveryList& liveries) {
    std::vector<bool> airlines(kCodeIdCount, false);
    std::vector<bool> models(kCodeIdCount, false);
    for (const LiveryData& livery : liveries) {
        airlines[livery.key.airlineId] = true;
        airlines[livery.key.secondAirlineId] = true;
        models[livery.key.modelId] = true;
    }
    const std::vector<std::uint16_t> airlineRank = codeRanks(airlines, airlineText);
    const std::vector<std::uint16_t> modelRank = codeRanks(models, modelText);
    std::vector<SortKey> keys;
    keys.reserve(liveries.size());
    for (std::size_t i = 0; i < liveries.size(); ++i) {
        const LiveryKey& key = liveries[i].key;
        keys.push_back({.group = (std::uint64_t{airlineRank[key.airlineId]} << 32U) |
                                 (std::uint64_t{airlineRank[key.secondAirlineId]} << 16U) | modelRank[key.modelId],
                        .titleBytes = 0,
                        .index = static_cast<std::uint32_t>(i)});
    }
    return keys;
}

// Orders one group's keys by title: the titles share their first `shared`
// bytes, so the eight bytes after those decide, and only titles equal there
// are compared whole.
void sortGroup(std::span<SortKey> group, const LiveryList& liveries) {
    const std::string_view first = liveries[group.front().index].title;
    std::size_t shared = first.size();
    for (const SortKey& key : group) shared = std::min(shared, commonPrefix(first, liveries[key.index].title));
    for (SortKey& key : group) key.titleBytes = titleBytesFrom(liveries[key.index].title, shared);
    std::sort(group.begin(), group.end(), [&liveries, shared](const SortKey& x, const SortKey& y) {
        if (x.titleBytes != y.titleBytes) return x.titleBytes < y.titleBytes;
        const std::string_view a = std::string_view(liveries[x.index].title).substr(shared);
        const std::string_view b = std::string_view(liveries[y.index].title).substr(shared);
        if (const int order = a.compare(b); order != 0) return order < 0;
        return x.index < y.index;
    });
}

// Stable: the keys by group in three counting passes over the three ranks,
// the least significant first; no comparison, so no input order is slow.
void sortByGroup(std::vector<SortKey>& keys) {
    std::vector<SortKey> moved(keys.size());
    std::vector<std::size_t> starts(kCodeIdCount + 1);
    for (const unsigned shift : {0U, 16U, 32U}) {
        const auto digit = [shift](const SortKey& key) {
            return static_cast<std::size_t>((key.group >> shift) & 0xFFFFU);
        };
        std::fill(starts.begin(), starts.end(), 0);
        for (const SortKey& key : keys) ++starts[digit(key) + 1];
        for (std::size_t d = 1; d < starts.size(); ++d) starts[d] += starts[d - 1];
        for (const SortKey& key : keys) moved[starts[digit(key)]++] = key;
        keys.swap(moved);
    }
}

}  // namespace

bool sameStoredLivery(const LiveryData& a, const LiveryData& b) {
    return a.key.airlineId == b.key.airlineId && a.key.secondAirlineId == b.key.secondAirlineId &&
           a.key.modelId == b.key.modelId && a.title == b.title && a.registration == b.registration;
}

LiveryOrder sortedLiveryOrder(const LiveryList& liveries, const LiverySorting& how) {
    if (liveries.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("too many liveries");
    std::vector<SortKey> keys = groupKeys(liveries);
    sortByGroup(keys);
    // A repeat sorts right after the record it repeats, with the same title
    // bytes, so only then are the records compared.
    LiveryOrder order;
    order.reserve(liveries.size());
    for (auto begin = keys.begin(); begin != keys.end();) {
        const auto end =
            std::find_if(begin, keys.end(), [group = begin->group](const SortKey& k) { return k.group != group; });
        const std::span<SortKey> group(begin, end);
        sortGroup(group, liveries);
        std::int16_t lowestFolder = std::numeric_limits<std::int16_t>::max();
        for (const SortKey& key : group) lowestFolder = std::min(lowestFolder, liveries[key.index].folderIndex);
        const SortKey* previous = nullptr;
        for (std::size_t k = 0; k < group.size(); ++k) {
            const SortKey& key = group[k];
            if (k + kLiveryPrefetchDistance < group.size()) {
                prefetchLivery(liveries[group[k + kLiveryPrefetchDistance].index]);
            }
            const LiveryData& livery = liveries[key.index];
            if (how.lowestFolderOnly && livery.folderIndex > lowestFolder) continue;
            if (how.repeated == RepeatedLiveries::drop && previous != nullptr &&
                previous->titleBytes == key.titleBytes && sameStoredLivery(liveries[previous->index], livery)) {
                continue;
            }
            order.push_back(key.index);
            previous = &key;
        }
        begin = end;
    }
    return order;
}

void sortLiveries(LiveryList& liveries, const LiverySorting& how) {
    if (liveries.size() < 2) return;
    const LiveryOrder order = sortedLiveryOrder(liveries, how);
    // The records move once, into their sorted places.
    LiveryList sorted;
    sorted.reserve(order.size());
    for (const std::uint32_t index : order) sorted.push_back(std::move(liveries[index]));
    liveries.swap(sorted);
}

std::string gf_codeText(const LiveryKey& key) {
    const std::string second =
        key.secondAirlineId != 0 ? fmt::format(",{}", airlineCodeOf(key.secondAirlineId)) : std::string{};
    return fmt::format("{:3}{:4} {:4}{}{:3}", airlineCodeOf(key.airlineId), second, modelCodeOf(key.modelId),
                       key.marker != 0 ? "." : " ", key.cargo != 0 ? "(C)" : "");
}

}  // namespace qvl
