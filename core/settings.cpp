// The setting classes. The objects themselves and their registries are in
// settings_table.cpp; their controls are filled in setting_controls.cpp.
#include "core/settings.h"

#include <algorithm>
#include <utility>

namespace qvl {

Parameter::Parameter(std::string key) : key_(std::move(key)) {}
Parameter::~Parameter() = default;
void Parameter::reset() {}

BoolParameter::BoolParameter(std::string key, bool defaultValue)
    : Parameter(std::move(key)), default_(defaultValue), current_(defaultValue) {}

RangeParameter::RangeParameter(std::string key, const RangeLimits& limits)
    : Parameter(std::move(key)),
      default_(limits.defaultValue),
      minimum_(limits.minimum),
      maximum_(limits.maximum),
      current_(limits.defaultValue) {}

std::int32_t RangeParameter::clamp(std::int32_t value) const noexcept {
    // Not std::clamp: limits that a faulty table gave the wrong way round must
    // not be undefined behaviour; the maximum wins then.
    if (value > maximum_) {
        return maximum_;
    }
    if (value < minimum_) {
        return minimum_;
    }
    return value;
}

StringParameter::StringParameter(std::string key, std::string defaultValue)
    : Parameter(std::move(key)),
      initialDefault_(defaultValue),
      default_(defaultValue),
      current_(std::move(defaultValue)) {}

std::string StringParameter::value() const {
    std::lock_guard lock(mutex_);
    return current_;
}

void StringParameter::set(std::string value) {
    std::lock_guard lock(mutex_);
    current_ = std::move(value);
}

std::string StringParameter::defaultValue() const {
    std::lock_guard lock(mutex_);
    return default_;
}

void StringParameter::setDefault(std::string value) {
    std::lock_guard lock(mutex_);
    default_ = std::move(value);
}

void StringParameter::reset() {
    std::lock_guard lock(mutex_);
    default_ = initialDefault_;
    current_ = initialDefault_;
}

ControlBinding::ControlBinding(const ControlPlace& place) noexcept : controlId_(place.controlId), rowY_(place.rowY) {}
ControlBinding::~ControlBinding() = default;

BoolControlParameter::BoolControlParameter(std::string key, bool defaultValue, const ControlPlace& place)
    : BoolParameter(std::move(key), defaultValue), ControlBinding(place) {}

namespace {

// An empty list would leave no limits; the default then stands for both.
std::int32_t firstOr(const std::vector<std::int32_t>& values, std::int32_t fallback) {
    return values.empty() ? fallback : values.front();
}

std::int32_t lastOr(const std::vector<std::int32_t>& values, std::int32_t fallback) {
    return values.empty() ? fallback : values.back();
}

std::vector<std::int32_t> floatBits(const std::vector<float>& values) {
    std::vector<std::int32_t> bits;
    bits.reserve(values.size());
    for (const float value : values) {
        bits.push_back(FloatRangeControlParameter::toBits(value));
    }
    return bits;
}

}  // namespace

RangeControlParameter::RangeControlParameter(std::string key, std::int32_t defaultValue,
                                             std::vector<std::int32_t> values, const ControlPlace& place)
    : RangeParameter(std::move(key), {.defaultValue = defaultValue,
                                      .minimum = firstOr(values, defaultValue),
                                      .maximum = lastOr(values, defaultValue)}),
      ControlBinding(place),
      values_(std::move(values)) {}

std::optional<std::size_t> RangeControlParameter::valueIndex(std::int32_t value) const noexcept {
    const auto it = std::find(values_.begin(), values_.end(), value);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - values_.begin());
}

FloatRangeControlParameter::FloatRangeControlParameter(std::string key, float defaultValue,
                                                       const std::vector<float>& values, const ControlPlace& place)
    : RangeControlParameter(std::move(key), toBits(defaultValue), floatBits(values), place) {}

StringControlParameter::StringControlParameter(std::string key, std::string defaultValue, const ControlPlace& place)
    : StringParameter(std::move(key), std::move(defaultValue)), ControlBinding(place) {}

ChoiceParameter::ChoiceParameter(std::string key, std::string defaultValue, std::vector<std::string> values,
                                 const ControlPlace& place)
    : StringControlParameter(std::move(key), std::move(defaultValue), place), values_(std::move(values)) {}

SharedChoiceParameter::SharedChoiceParameter(std::string key, std::string defaultValue, const ControlPlace& place)
    : StringControlParameter(std::move(key), std::move(defaultValue), place) {}

std::vector<std::string> SharedChoiceParameter::values() const {
    std::lock_guard lock(listMutex_);
    return values_;
}

void SharedChoiceParameter::setValues(std::vector<std::string> values) {
    std::lock_guard lock(listMutex_);
    values_ = std::move(values);
}

void SharedChoiceParameter::reset() {
    StringControlParameter::reset();
    setValues({});
}

CommandButton::CommandButton(std::string label, const ControlPlace& place)
    : Parameter(std::move(label)), ControlBinding(place) {}

std::optional<std::size_t> exactIndex(const std::vector<std::string>& values, const std::string& text) {
    const auto it = std::find(values.begin(), values.end(), text);
    if (it == values.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - values.begin());
}

std::optional<std::size_t> gf_findChoiceIndex(const ChoiceParameter& setting) {
    return exactIndex(setting.values(), setting.value());
}

}  // namespace qvl
