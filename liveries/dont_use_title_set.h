// The titles the simulator could not create. The engine adds one whenever
// the simulator refuses a creation; the matchers never choose such a title
// again for the rest of the process.
//
// The set keeps its own copies: a title seen as a view into the catalogue
// must stay refused after the catalogue is emptied and built again, when
// that view would dangle. Lookups take a view and build no string.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "refdata/fnv_hash.h"

namespace qvl {

class DontUseTitleSet {
public:
    DontUseTitleSet() {
        // Few titles are ever refused: start small.
        titles_.max_load_factor(1.0F);
        titles_.rehash(8);
    }

    // True when the title was not in the set yet.
    bool insert(std::string_view title) { return titles_.emplace(title).second; }
    [[nodiscard]] bool contains(std::string_view title) const { return titles_.find(title) != titles_.end(); }
    [[nodiscard]] std::size_t size() const noexcept { return titles_.size(); }
    [[nodiscard]] bool empty() const noexcept { return titles_.empty(); }
    void clear() noexcept { titles_.clear(); }

private:
    std::unordered_set<std::string, Fnv1aHash, std::equal_to<>> titles_;
};

}  // namespace qvl
