#include "liveries/scan_state.h"

#include <fmt/format.h>

#include <utility>

namespace qvl {

void ProblemList::add(std::string line) {
    const std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
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

bool SeenTitleSet::take(std::string_view title) {
    const std::lock_guard lock(mutex_);
    return titles_.emplace(title).second;
}

std::size_t SeenTitleSet::size() const {
    const std::lock_guard lock(mutex_);
    return titles_.size();
}

void SeenTitleSet::clear() {
    const std::lock_guard lock(mutex_);
    titles_.clear();
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

void lf_addInvalidCfgFile(LiveryScanState& state, std::string line) { state.invalidCfgFiles.add(std::move(line)); }

void lf_addIncompleteSection(LiveryScanState& state, std::string line) {
    state.incompleteSections.add(std::move(line));
}

void lf_addModelFix(LiveryScanState& state, std::string line) { state.modelFixes.add(std::move(line)); }

void lf_addInvalidAirlineCode(LiveryScanState& state, std::string_view code, std::string_view cfgPath,
                              std::string_view header) {
    state.invalidAirlineCodes.add(fmt::format("{:12} in {} {}", code, cfgPath, header));
}

void lf_addInvalidModelCode(LiveryScanState& state, std::string_view code, std::string_view cfgPath) {
    state.invalidModelCodes.add(fmt::format("{:16} in {}", code, cfgPath));
}

}  // namespace qvl
