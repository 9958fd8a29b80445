// The traffic radius and the fit window as the controls see them: the radius
// setter, the automatic radius and the mapping from MAX_FIT (half hours) to
// the hours that the MAX_FIT_FL drop-down shows. The main window's handlers
// and the stand files call them, on the UI thread and on the run thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/settings.h"
#include "core/status.h"

namespace qvl {

// What the automatic radius is chosen from, sampled when it is chosen.
struct AutoRangeInputs {
    bool onGround = false;
    double heightAboveGroundFeet = 0.0;
    // From the user aircraft to the first park airport; none when there is none.
    std::optional<double> parkAirportDistanceNm;
};

// The automatic radius's own state: the radius to go back to when AUTO_RANGE
// is switched off, and where the inputs come from. The inputs are given when
// it is built (the program reads them from what its run publishes: the user
// aircraft and the head of the park-airport list), so an automatic radius
// that never changes because nobody gave it inputs cannot be built. One per
// program, passed by reference; tests make a fresh one.
class RangeControl {
public:
    // Called on the run thread and on the window's thread: it reads only
    // values published for other threads. Nothing while they are not known
    // yet (no user aircraft data so far).
    using InputSource = std::function<std::optional<AutoRangeInputs>()>;

    // Throws std::invalid_argument when the source is empty.
    explicit RangeControl(InputSource source);
    RangeControl(const RangeControl&) = delete;
    RangeControl& operator=(const RangeControl&) = delete;

    // Nothing while the source has nothing yet.
    [[nodiscard]] std::optional<AutoRangeInputs> sampleInputs() const { return source_(); }

    [[nodiscard]] std::int32_t savedRangeNm() const noexcept { return savedRangeNm_.load(); }
    void setSavedRangeNm(std::int32_t nm) noexcept { savedRangeNm_.store(nm); }

    // The saved radius back to RANGE's default; the input source stays, as
    // it is wiring and not state.
    void reset() noexcept;

private:
    std::atomic<std::int32_t> savedRangeNm_{RANGE.defaultValue()};
    const InputSource source_;  // set once, before any thread can call it
};

// RANGE becomes nm clamped to its limits (not saved), the status is told,
// so that its drop-down selects it when listed, and the traffic radius
// follows. Returns the radius in whole metres.
std::int32_t gf_setRange(std::int32_t nm, Status& status);

// The radius the automatic rule chooses, in nautical miles.
std::int32_t autoRangeNm(const AutoRangeInputs& inputs);
// Sets the automatic radius from the control's inputs; leaves it while they
// are not known yet.
void lf_updateAutoRange(const RangeControl& control, Status& status);

// AUTO_RANGE on: remembers RANGE and sets the automatic radius. Off: back to
// the remembered radius, and the message line is cleared. The status hears
// that the RANGE drop-down can be used only while AUTO_RANGE is off.
void gf_applyAutoRange(RangeControl& control, Status& status);

// MAX_FIT (half hours) as the hours of the MAX_FIT_FL drop-down.
float gf_maxFitToFloat(std::int32_t maxFit);
// MAX_FIT_FL from MAX_FIT, reported to the status, which selects it in its
// drop-down when listed (11 hours is not, and then the selection stays).
void gf_selectMaxFitFl(Status& status);

}  // namespace qvl
