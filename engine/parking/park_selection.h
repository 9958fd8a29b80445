// The stand and flight selection: which learned flights stand at which
// stands of the park airport now, by day of the week and half hour. The
// passes append candidates to the parking state's list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "airports/stand.h"
#include "engine/base/live_ac.h"
#include "engine/base/parking_state.h"

namespace qvl {

struct Engine;

// Runs the passes (real and soft flights, of today and of any day) until
// the candidates plus `occupied` reach `wanted`. Nothing is selected while
// the week time is not valid.
void lf_fillParkPositions(Engine& engine, WeekTime now, std::int64_t wanted, std::int64_t occupied);
// Marks as blocked the reserved stand and the stand under the user aircraft.
void lf_blockReservedStands(Engine& engine);
// Marks the stand taken and its neighbours adjacent. The stand list is
// sorted by number.
void blockNeighbourStands(std::span<Stand> stands, Stand& stand);

// What the in-use and fit tests of one selection ask about, as hash sets:
// the registrations and callsigns of the candidates, the static aircraft,
// the parked live aircraft and the live callsigns, and the stands the static
// aircraft stand on. Asking a set costs the same however long the lists are.
//
// The candidate sets mirror the candidate list exactly: the list changes
// only through `append` and `cutTo`, so an entry goes into the sets when its
// batch joins the list and leaves them when the list is cut. A batch still
// being built is in neither. Empty texts are never held, so they match
// nothing.
//
// Built at the start of a selection; the static aircraft, the parked live
// aircraft and the live callsigns stay unchanged while it lives.
class SelectionIndex {
public:
    SelectionIndex(ParkingState& parking, const std::vector<StaticAc>& statics);
    SelectionIndex(const SelectionIndex&) = delete;
    SelectionIndex& operator=(const SelectionIndex&) = delete;

    [[nodiscard]] const std::vector<ParkPosition>& candidates() const noexcept { return list_; }
    // Appends the batch to the candidate list.
    void append(const std::vector<ParkPosition>& batch);
    // Cuts the candidate list to its first `count` entries.
    void cutTo(std::size_t count);

    [[nodiscard]] bool candidateRegistration(const std::string& registration) const;
    // A candidate's first callsign part.
    [[nodiscard]] bool candidateCallsign(const std::string& callsign) const;
    // A static aircraft's first learned callsign (its second text).
    [[nodiscard]] bool staticCallsign(const std::string& callsign) const;
    [[nodiscard]] bool staticRegistration(const std::string& registration) const;
    [[nodiscard]] bool parkedLiveCallsign(const std::string& callsign) const;
    [[nodiscard]] bool liveCallsign(const std::string& callsign) const;

    // The static aircraft on the stand in list order, any status.
    [[nodiscard]] const std::vector<const StaticAc*>& staticsOn(std::uint32_t standNumber) const;
    // The first active static aircraft on the stand; nullptr when none.
    [[nodiscard]] const StaticAc* firstActiveStaticOn(std::uint32_t standNumber) const;

private:
    using TextCounts = std::unordered_map<std::string, std::uint32_t>;
    static void add(TextCounts& counts, const std::string& text);
    static void remove(TextCounts& counts, const std::string& text);
    static bool holds(const TextCounts& counts, const std::string& text);

    std::vector<ParkPosition>& list_;
    const std::unordered_set<std::string>& liveCallsigns_;
    // Candidates may share a text, so each is counted.
    TextCounts candidateRegistrations_;
    TextCounts candidateCallsigns_;
    std::unordered_set<std::string> staticCallsigns_;
    std::unordered_set<std::string> staticRegistrations_;
    std::unordered_set<std::string> parkedLiveCallsigns_;
    std::unordered_map<std::uint32_t, std::vector<const StaticAc*>> staticsOnStand_;
    std::unordered_map<std::uint32_t, const StaticAc*> firstActiveOnStand_;
};

// Whether the learned flight is shown already or flies now: by its
// registration or a callsign part among the candidates, the static and the
// parked live aircraft, or among the live callsigns.
bool lf_isFlightInUse(const SelectionIndex& index, const LearnedFlight& flight);

}  // namespace qvl
