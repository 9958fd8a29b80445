#include "liveries/livery_scan_state.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "liveries/livery_data.h"

namespace qvl {

void ProblemList::add(std::string line) {
    const std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
}

void ProblemList::addAll(std::vector<std::string>&& lines) {
    if (lines.empty()) return;
    const std::lock_guard lock(mutex_);
    lines_.insert(lines_.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
}

std::vector<std::string> ProblemList::lines() const {
    const std::lock_guard lock(mutex_);
    return lines_;
}

std::size_t ProblemList::size() const {
    const std::lock_guard lock(mutex_);
    return lines_.size();
}

void ProblemList::clear() {
    const std::lock_guard lock(mutex_);
    lines_.clear();
}

namespace {

constexpr std::size_t kFirstSlotCount = 1024;

// 32 bits place a title among far fewer slots than that and pass over
// nearly every other title without reading its bytes.
std::uint32_t titleHash(std::string_view title) noexcept {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(title));
}

}  // namespace

std::size_t SeenTitleSet::slotFor(std::string_view title, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.length == kFree) return i;
        if (slot.hash == hash && slot.length == title.size() &&
            std::string_view(titles_).substr(slot.offset, slot.length) == title) {
            return i;
        }
    }
}

void SeenTitleSet::grow() {
    std::vector<Slot> old(std::max(kFirstSlotCount, slots_.size() * 2));
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.length == kFree) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].length != kFree) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

bool SeenTitleSet::take(std::string_view title) {
    // No aircraft.cfg holds a title of 4 GB; one that did could not be told apart.
    if (title.size() >= kFree) throw std::length_error("title too long");
    const std::uint32_t hash = titleHash(title);
    const std::lock_guard lock(mutex_);
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const std::size_t at = slotFor(title, hash);
    Slot& slot = slots_[at];
    if (slot.length != kFree) return false;
    slot = {.offset = titles_.size(), .length = static_cast<std::uint32_t>(title.size()), .hash = hash};
    titles_.append(title);
    ++count_;
    return true;
}

bool SeenTitleSet::contains(std::string_view title) const {
    const std::uint32_t hash = titleHash(title);
    const std::lock_guard lock(mutex_);
    return !slots_.empty() && slots_[slotFor(title, hash)].length != kFree;
}

void SeenTitleSet::prefetch(std::string_view title) const {
    const std::uint32_t hash = titleHash(title);
    const std::lock_guard lock(mutex_);
    if (slots_.empty()) return;
    prefetchMemory(&slots_[hash & (slots_.size() - 1)]);
}

std::size_t SeenTitleSet::size() const {
    const std::lock_guard lock(mutex_);
    return count_;
}

void SeenTitleSet::clear() {
    const std::lock_guard lock(mutex_);
    slots_ = {};
    titles_ = {};
    count_ = 0;
}

void DontUseTitleList::add(std::string title) {
    const std::unique_lock lock(mutex_);
    titles_.insert(std::move(title));
}

bool DontUseTitleList::contains(std::string_view title) const {
    const std::shared_lock lock(mutex_);
    return titles_.find(title) != titles_.end();
}

std::size_t DontUseTitleList::size() const {
    const std::shared_lock lock(mutex_);
    return titles_.size();
}

void DontUseTitleList::clear() {
    const std::unique_lock lock(mutex_);
    titles_.clear();
}

std::shared_ptr<const DontUseTitleSnapshot> DontUseTitleList::snapshot() const {
    const std::shared_lock lock(mutex_);
    return std::make_shared<const DontUseTitleSnapshot>(titles_);
}

void LiveryScanState::reset() {
    lf_clearScanMessages(*this);
    modelFixes.clear();
}

void lf_clearScanMessages(LiveryScanState& state) {
    state.noFltsimFiles.clear();
    state.invalidCfgFiles.clear();
    state.incompleteSections.clear();
    state.invalidAirlineCodes.clear();
    state.invalidModelCodes.clear();
    state.seenTitles.clear();
    state.dontUseTitles.clear();
}

void appendProblemLines(LiveryScanState& state, ScanProblemLines&& lines) {
    state.noFltsimFiles.addAll(std::move(lines.noFltsimFiles));
    state.invalidCfgFiles.addAll(std::move(lines.invalidCfgFiles));
    state.incompleteSections.addAll(std::move(lines.incompleteSections));
    state.invalidAirlineCodes.addAll(std::move(lines.invalidAirlineCodes));
    state.invalidModelCodes.addAll(std::move(lines.invalidModelCodes));
    state.modelFixes.addAll(std::move(lines.modelFixes));
}

namespace {

std::string invalidAirlineLine(std::string_view code, std::string_view cfgPath, std::string_view header) {
    return fmt::format("{:12} in {} {}", code, cfgPath, header);
}

std::string invalidModelLine(std::string_view code, std::string_view cfgPath) {
    return fmt::format("{:16} in {}", code, cfgPath);
}

}  // namespace

void lf_addInvalidCfgFile(LiveryScanState& state, std::string line) { state.invalidCfgFiles.add(std::move(line)); }

void lf_addIncompleteSection(LiveryScanState& state, std::string line) {
    state.incompleteSections.add(std::move(line));
}

void lf_addModelFix(LiveryScanState& state, std::string line) { state.modelFixes.add(std::move(line)); }

void lf_addInvalidAirlineCode(LiveryScanState& state, std::string_view code, std::string_view cfgPath,
                              std::string_view header) {
    state.invalidAirlineCodes.add(invalidAirlineLine(code, cfgPath, header));
}

void lf_addInvalidModelCode(LiveryScanState& state, std::string_view code, std::string_view cfgPath) {
    state.invalidModelCodes.add(invalidModelLine(code, cfgPath));
}

void lf_addInvalidCfgFile(ScanProblemLines& lines, std::string line) {
    lines.invalidCfgFiles.push_back(std::move(line));
}

void lf_addIncompleteSection(ScanProblemLines& lines, std::string line) {
    lines.incompleteSections.push_back(std::move(line));
}

void lf_addModelFix(ScanProblemLines& lines, std::string line) { lines.modelFixes.push_back(std::move(line)); }

void lf_addInvalidAirlineCode(ScanProblemLines& lines, std::string_view code, std::string_view cfgPath,
                              std::string_view header) {
    lines.invalidAirlineCodes.push_back(invalidAirlineLine(code, cfgPath, header));
}

void lf_addInvalidModelCode(ScanProblemLines& lines, std::string_view code, std::string_view cfgPath) {
    lines.invalidModelCodes.push_back(invalidModelLine(code, cfgPath));
}

}  // namespace qvl
