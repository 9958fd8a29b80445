#include "core/range_control.h"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "core/messages.h"

namespace qvl {

namespace {

RangeControl::InputSource required(RangeControl::InputSource source) {
    if (!source) throw std::invalid_argument("the automatic radius needs an input source");
    return source;
}

}  // namespace

RangeControl::RangeControl(InputSource source) : source_(required(std::move(source))) {}

void RangeControl::reset() noexcept { savedRangeNm_.store(RANGE.defaultValue()); }

std::int32_t gf_setRange(std::int32_t nm, Status& status) {
    const std::int32_t clamped = RANGE.clamp(nm);
    RANGE.set(clamped);
    status.settingChanged(RANGE);
    rangeNm.store(static_cast<double>(clamped));
    return rangeMeters();
}

namespace {

// Distance to the park airport, in whole nautical miles, to the radius that
// keeps its traffic in sight.
std::int32_t radiusForAirportDistance(double distanceNm) {
    if (distanceNm <= 7.0) return 10;
    if (distanceNm >= 37.0) return 40;
    const auto n = static_cast<std::int32_t>(std::lround(distanceNm));
    struct Step {
        std::int32_t from;
        std::int32_t radius;
    };
    static constexpr Step steps[] = {{33, 35}, {28, 30}, {23, 25}, {19, 20}, {17, 18},
                                     {15, 16}, {13, 14}, {11, 12}, {9, 10}};
    for (const Step& step : steps) {
        if (n >= step.from) return step.radius;
    }
    return 8;
}

}  // namespace

std::int32_t autoRangeNm(const AutoRangeInputs& inputs) {
    constexpr double kNoParkAirportNm = 10000.0;
    if (inputs.onGround) return 10;
    if (inputs.heightAboveGroundFeet > AR_ABOVE_HEIGHT.value()) return 100;
    if (inputs.heightAboveGroundFeet > AIRP_HEIGHT.value()) return 40;
    const double distance = inputs.parkAirportDistanceNm.value_or(kNoParkAirportNm);
    // A distance that is no number counts as no park airport.
    return radiusForAirportDistance(std::isnan(distance) ? kNoParkAirportNm : distance);
}

void lf_updateAutoRange(const RangeControl& control, Status& status) {
    if (const auto inputs = control.sampleInputs()) gf_setRange(autoRangeNm(*inputs), status);
}

void gf_applyAutoRange(RangeControl& control, Status& status) {
    const bool automatic = AUTO_RANGE.value();
    if (automatic) {
        control.setSavedRangeNm(RANGE.value());
        lf_updateAutoRange(control, status);
    } else {
        gf_setRange(control.savedRangeNm(), status);
        gf_clearMessage();
    }
    status.controlUsable(RANGE, !automatic);
}

float gf_maxFitToFloat(std::int32_t maxFit) {
    struct Step {
        std::int32_t from;
        float hours;
    };
    static constexpr Step steps[] = {{44, 24.0F}, {38, 21.0F}, {32, 18.0F}, {26, 15.0F}, {22, 12.0F},
                                     {20, 11.0F}, {18, 10.0F}, {16, 9.0F},  {14, 8.0F},  {12, 7.0F},
                                     {10, 6.0F},  {9, 5.0F},   {8, 4.5F},   {7, 4.0F},   {6, 3.5F},
                                     {5, 3.0F},   {4, 2.5F},   {3, 2.0F},   {2, 1.5F},   {1, 1.0F}};
    for (const Step& step : steps) {
        if (maxFit >= step.from) return step.hours;
    }
    return 0.5F;
}

void gf_selectMaxFitFl(Status& status) {
    MAX_FIT_FL.setFloat(gf_maxFitToFloat(MAX_FIT.value()));
    status.settingChanged(MAX_FIT_FL);
}

}  // namespace qvl
