#include "refdata/code_table.h"

#include <fmt/format.h>

#include <mutex>

namespace qvl {

std::string_view codeKindName(CodeKind kind) noexcept {
    switch (kind) {
        case CodeKind::model: return "model";
        case CodeKind::airline: return "airline";
    }
    return "?";
}

CodeTableFull::CodeTableFull(CodeKind kind, std::string_view code)
    : std::runtime_error(
          fmt::format("{} code table full ({} codes): '{}' refused", codeKindName(kind), CodeTable::kMaxCodes, code)),
      kind_(kind) {}

CodeTable::CodeTable(CodeKind kind) : kind_(kind) {}

std::optional<CodeId> CodeTable::findLocked(std::string_view code) const {
    const auto it = index_.find(code);
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

std::optional<CodeId> CodeTable::findWithFixLocked(std::string_view code) const {
    if (auto id = findLocked(code)) return id;
    if (!loaded_) return std::nullopt;
    const auto fix = fixes_.find(code);
    if (fix == fixes_.end()) return std::nullopt;
    return findLocked(fix->second);
}

CodeId CodeTable::appendLocked(std::string_view code) {
    const std::size_t id = size_.load(std::memory_order_relaxed);
    if (id >= kMaxCodes) throw CodeTableFull(kind_, code);
    auto& chunk = chunks_[id / kChunkSize];
    if (!chunk) chunk = std::make_unique<Chunk>();
    std::string& slot = (*chunk)[id % kChunkSize];
    slot.assign(code);
    index_.emplace(std::string_view(slot), static_cast<CodeId>(id));
    size_.store(id + 1, std::memory_order_release);
    return static_cast<CodeId>(id);
}

CodeId CodeTable::intern(std::string_view code) {
    {
        std::shared_lock lock(mutex_);
        if (auto id = findWithFixLocked(code)) return *id;
    }
    std::unique_lock lock(mutex_);
    // Another thread may have added it between the two locks.
    if (auto id = findWithFixLocked(code)) return *id;
    return appendLocked(code);
}

std::optional<CodeId> CodeTable::find(std::string_view code) const {
    std::shared_lock lock(mutex_);
    return findLocked(code);
}

std::string_view CodeTable::code(std::size_t id) const noexcept {
    if (id >= size_.load(std::memory_order_acquire)) return {};
    return (*chunks_[id / kChunkSize])[id % kChunkSize];
}

void CodeTable::setLoaded(bool loaded) {
    std::unique_lock lock(mutex_);
    loaded_ = loaded;
}

bool CodeTable::loaded() const {
    std::shared_lock lock(mutex_);
    return loaded_;
}

bool CodeTable::addFix(std::string_view wrong, std::string_view correct) {
    std::unique_lock lock(mutex_);
    return fixes_.emplace(std::string(wrong), std::string(correct)).second;
}

std::optional<std::string> CodeTable::fix(std::string_view wrong) const {
    std::shared_lock lock(mutex_);
    const auto it = fixes_.find(wrong);
    if (it == fixes_.end()) return std::nullopt;
    return it->second;
}

std::size_t CodeTable::fixCount() const {
    std::shared_lock lock(mutex_);
    return fixes_.size();
}

void CodeTable::clear() {
    std::unique_lock lock(mutex_);
    index_.clear();
    fixes_.clear();
    loaded_ = false;
    size_.store(0, std::memory_order_release);
    for (auto& chunk : chunks_) chunk.reset();
}

CodeTable& modelCodes() {
    static CodeTable table(CodeKind::model);
    return table;
}

CodeTable& airlineCodes() {
    static CodeTable table(CodeKind::airline);
    return table;
}

CodeId gf_airlineId(std::string_view code) { return airlineCodes().intern(code); }

CodeId gf_modelId(std::string_view code) { return modelCodes().intern(code); }

std::optional<std::string> lf_modelFix(std::string_view code) { return modelCodes().fix(code); }

std::string_view modelCodeOf(std::size_t id) noexcept { return modelCodes().code(id); }

std::string_view airlineCodeOf(std::size_t id) noexcept { return airlineCodes().code(id); }

}  // namespace qvl
