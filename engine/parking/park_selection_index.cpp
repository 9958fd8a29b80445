// The hash sets that the in-use and fit tests of a selection ask, kept in
// step with the candidate list.
#include <string>
#include <vector>

#include "engine/parking/park_selection.h"

namespace qvl {

SelectionIndex::SelectionIndex(ParkingState& parking, const std::vector<StaticAc>& statics)
    : list_{parking.candidates}, liveCallsigns_{parking.liveCallsigns} {
    for (const ParkPosition& candidate : list_) {
        add(candidateRegistrations_, candidate.registration);
        add(candidateCallsigns_, candidate.callsign1);
    }
    for (const StaticAc& ac : statics) {
        if (!ac.flight.callsignCopy.empty()) staticCallsigns_.insert(ac.flight.callsignCopy);
        if (!ac.flight.registration.empty()) staticRegistrations_.insert(ac.flight.registration);
        staticsOnStand_[ac.standNumber].push_back(&ac);
        if (ac.status == SimStatus::active) firstActiveOnStand_.try_emplace(ac.standNumber, &ac);
    }
    for (const ParkedLive& parked : parking.parkedLive) {
        if (!parked.callsign.empty()) parkedLiveCallsigns_.insert(parked.callsign);
    }
}

void SelectionIndex::append(const std::vector<ParkPosition>& batch) {
    for (const ParkPosition& candidate : batch) {
        list_.push_back(candidate);
        add(candidateRegistrations_, candidate.registration);
        add(candidateCallsigns_, candidate.callsign1);
    }
}

void SelectionIndex::cutTo(std::size_t count) {
    while (list_.size() > count) {
        remove(candidateRegistrations_, list_.back().registration);
        remove(candidateCallsigns_, list_.back().callsign1);
        list_.pop_back();
    }
}

bool SelectionIndex::candidateRegistration(const std::string& registration) const {
    return holds(candidateRegistrations_, registration);
}

bool SelectionIndex::candidateCallsign(const std::string& callsign) const {
    return holds(candidateCallsigns_, callsign);
}

bool SelectionIndex::staticCallsign(const std::string& callsign) const { return staticCallsigns_.contains(callsign); }

bool SelectionIndex::staticRegistration(const std::string& registration) const {
    return staticRegistrations_.contains(registration);
}

bool SelectionIndex::parkedLiveCallsign(const std::string& callsign) const {
    return parkedLiveCallsigns_.contains(callsign);
}

bool SelectionIndex::liveCallsign(const std::string& callsign) const {
    // The traffic reader's set is taken as it comes and may hold an empty text.
    return !callsign.empty() && liveCallsigns_.contains(callsign);
}

const std::vector<const StaticAc*>& SelectionIndex::staticsOn(std::uint32_t standNumber) const {
    static const std::vector<const StaticAc*> none;
    const auto found = staticsOnStand_.find(standNumber);
    return found == staticsOnStand_.end() ? none : found->second;
}

const StaticAc* SelectionIndex::firstActiveStaticOn(std::uint32_t standNumber) const {
    const auto found = firstActiveOnStand_.find(standNumber);
    return found == firstActiveOnStand_.end() ? nullptr : found->second;
}

void SelectionIndex::add(TextCounts& counts, const std::string& text) {
    if (!text.empty()) ++counts[text];
}

void SelectionIndex::remove(TextCounts& counts, const std::string& text) {
    const auto found = counts.find(text);
    if (found == counts.end()) return;
    if (--found->second == 0) counts.erase(found);
}

bool SelectionIndex::holds(const TextCounts& counts, const std::string& text) { return counts.contains(text); }

bool lf_isFlightInUse(const SelectionIndex& index, const LearnedFlight& flight) {
    const std::string& part1 = flight.callsign1;
    const std::string& part2 = flight.callsign2;
    // Empty texts are in no set, so an empty part or registration matches nothing.
    const auto eitherPart = [&](auto&& held) { return held(part1) || held(part2); };
    if (index.candidateRegistration(flight.registration)) return true;
    if (eitherPart([&](const std::string& text) { return index.liveCallsign(text); })) return true;
    if (eitherPart([&](const std::string& text) { return index.staticCallsign(text); }) ||
        index.staticRegistration(flight.registration)) {
        return true;
    }
    if (eitherPart([&](const std::string& text) { return index.candidateCallsign(text); })) return true;
    return eitherPart([&](const std::string& text) { return index.parkedLiveCallsign(text); });
}

}  // namespace qvl
