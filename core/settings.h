// The user's settings: one program-wide object per setting, alive from static
// initialisation to the end of the process. Each object carries its key (its
// name in parameters.xml), default, limits and current value; a setting shown
// in the main window also carries the binding to its control.
//
// Components read the current value straight from the object. Any thread may
// read while the UI thread or the run thread writes, so bool and integer
// values are atomics (a read is one load) and text values sit behind a small
// per-object mutex (a read returns a copy).
//
// The six registries fix the order in which parameters.xml is read and
// written. They are built in the same translation unit as the settings, after
// them. A global of another translation unit must not touch a setting during
// its own static initialisation.
#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/controls.h"

namespace qvl {

// A signed 32-bit setting's default and inclusive limits.
struct RangeLimits {
    std::int32_t defaultValue = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
};

// Where a setting's (or a button's) control sits in the main window.
struct ControlPlace {
    std::uint16_t controlId = 0;
    std::uint32_t rowY = 0;  // top of the control's row, in pixels
};

// Base of every setting and command button.
class Parameter {
public:
    explicit Parameter(std::string key);
    virtual ~Parameter();
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    // The name in parameters.xml; for a command button, its label.
    const std::string& key() const noexcept { return key_; }

    // Back to the values the object was built with. A button has none.
    virtual void reset();

private:
    const std::string key_;
};

class BoolParameter : public Parameter {
public:
    BoolParameter(std::string key, bool defaultValue);

    bool value() const noexcept { return current_.load(std::memory_order_acquire); }
    void set(bool value) noexcept { current_.store(value, std::memory_order_release); }
    bool defaultValue() const noexcept { return default_; }
    void reset() override { set(default_); }

private:
    const bool default_;
    std::atomic<bool> current_;
};

// A signed 32-bit setting with inclusive limits.
class RangeParameter : public Parameter {
public:
    RangeParameter(std::string key, const RangeLimits& limits);

    std::int32_t value() const noexcept { return current_.load(std::memory_order_acquire); }
    // Stores the value as given; callers that take outside input clamp first.
    void set(std::int32_t value) noexcept { current_.store(value, std::memory_order_release); }
    std::int32_t defaultValue() const noexcept { return default_; }
    void reset() override { set(default_); }
    std::int32_t minimum() const noexcept { return minimum_; }
    std::int32_t maximum() const noexcept { return maximum_; }
    // Signed clamp to [minimum, maximum].
    std::int32_t clamp(std::int32_t value) const noexcept;

private:
    const std::int32_t default_;
    const std::int32_t minimum_;
    const std::int32_t maximum_;
    std::atomic<std::int32_t> current_;
};

class StringParameter : public Parameter {
public:
    StringParameter(std::string key, std::string defaultValue);

    std::string value() const;
    void set(std::string value);
    std::string defaultValue() const;
    // Only PROGRAM_VERSION changes its default: a file of defaults records the
    // version that wrote it.
    void setDefault(std::string value);
    // The default it was built with, as value and as default.
    void reset() override;

private:
    const std::string initialDefault_;
    mutable std::mutex mutex_;  // a leaf lock: guards default_ and current_
    std::string default_;
    std::string current_;
};

// Opaque to the program: the window keeps an edit box's previous window
// procedure here when it takes over the edit's messages.
using WindowProcedureSlot = std::uintptr_t;

// The tie between a setting (or a button) and its control in the main window.
class ControlBinding {
public:
    explicit ControlBinding(const ControlPlace& place) noexcept;
    virtual ~ControlBinding();
    ControlBinding(const ControlBinding&) = delete;
    ControlBinding& operator=(const ControlBinding&) = delete;

    std::uint16_t controlId() const noexcept { return controlId_; }
    // Top of the control's row in the main window, in pixels.
    std::uint32_t rowY() const noexcept { return rowY_; }

    // kNoControl until the window has created the control.
    ui::ControlHandle controlHandle() const noexcept { return handle_.load(std::memory_order_acquire); }
    void setControlHandle(ui::ControlHandle handle) noexcept { handle_.store(handle, std::memory_order_release); }
    WindowProcedureSlot previousProcedure() const noexcept {
        return previousProcedure_.load(std::memory_order_acquire);
    }
    void setPreviousProcedure(WindowProcedureSlot procedure) noexcept {
        previousProcedure_.store(procedure, std::memory_order_release);
    }

private:
    const std::uint16_t controlId_;
    const std::uint32_t rowY_;
    std::atomic<ui::ControlHandle> handle_{ui::kNoControl};
    std::atomic<WindowProcedureSlot> previousProcedure_{0};
};

// A check box.
class BoolControlParameter : public BoolParameter, public ControlBinding {
public:
    BoolControlParameter(std::string key, bool defaultValue, const ControlPlace& place);
};

// A drop-down of numbers; the limits are the first and last allowed value.
class RangeControlParameter : public RangeParameter, public ControlBinding {
public:
    // The values are ascending and not empty.
    RangeControlParameter(std::string key, std::int32_t defaultValue, std::vector<std::int32_t> values,
                          const ControlPlace& place);

    const std::vector<std::int32_t>& values() const noexcept { return values_; }
    // Position of the value in the list, first match.
    std::optional<std::size_t> valueIndex(std::int32_t value) const noexcept;

private:
    const std::vector<std::int32_t> values_;
};

// A drop-down of hours that keeps 32-bit float bit patterns in its integer
// slots and list (MAX_FIT_FL). The raw slots stay available; the float view
// reinterprets them.
class FloatRangeControlParameter : public RangeControlParameter {
public:
    FloatRangeControlParameter(std::string key, float defaultValue, const std::vector<float>& values,
                               const ControlPlace& place);

    float floatValue() const noexcept { return fromBits(value()); }
    void setFloat(float value) noexcept { set(toBits(value)); }
    float floatDefault() const noexcept { return fromBits(defaultValue()); }

    static std::int32_t toBits(float value) noexcept { return std::bit_cast<std::int32_t>(value); }
    static float fromBits(std::int32_t bits) noexcept { return std::bit_cast<float>(bits); }
};

// An edit box.
class StringControlParameter : public StringParameter, public ControlBinding {
public:
    StringControlParameter(std::string key, std::string defaultValue, const ControlPlace& place);
};

// A drop-down of texts fixed at construction.
class ChoiceParameter : public StringControlParameter {
public:
    ChoiceParameter(std::string key, std::string defaultValue, std::vector<std::string> values,
                    const ControlPlace& place);

    const std::vector<std::string>& values() const noexcept { return values_; }

private:
    const std::vector<std::string> values_;
};

// A drop-down of texts that the run fills while it goes (the callsigns of
// live aircraft). The list is read and replaced whole, under its own lock.
class SharedChoiceParameter : public StringControlParameter {
public:
    SharedChoiceParameter(std::string key, std::string defaultValue, const ControlPlace& place);

    std::vector<std::string> values() const;
    void setValues(std::vector<std::string> values);
    // The default value and an empty list.
    void reset() override;

private:
    // A leaf lock like the value's own; the two are never held together.
    mutable std::mutex listMutex_;
    std::vector<std::string> values_;
};

// A push button: a label and a control, no value; never stored.
class CommandButton : public Parameter, public ControlBinding {
public:
    CommandButton(std::string label, const ControlPlace& place);
};

// Booleans.
extern BoolParameter RANDOM;
extern BoolControlParameter ALWAYS_ON_TOP;
extern BoolControlParameter OBJECTID_LIST;
extern BoolControlParameter NAV_LIGHTS_WHILE_PARKED;
extern BoolControlParameter AEROWINX;
extern BoolControlParameter GUID_CHANGES;
extern BoolControlParameter SCAN_LIVERIES;
extern BoolControlParameter LIG_AUTOMATIC;
extern BoolControlParameter LIG_PRIORITIZE;
extern BoolControlParameter SCAN_AIRPORTS;
extern BoolControlParameter LIGHT_AIRCRAFT;
extern BoolControlParameter HELICOPTERS;
extern BoolControlParameter HIGH_PERF_AIRCRAFT;
extern BoolControlParameter AUTO_RANGE;
extern BoolControlParameter AIRBORNE_ONLY;
extern BoolControlParameter COLLISION_USER_GND;
extern BoolControlParameter COLLISION_USER_AIR;
extern BoolControlParameter COLLISION_LIVE_PARKED_GND;
extern BoolControlParameter STRAIGHT_PBS_ONLY;
extern BoolControlParameter INITIAL_LOAD_ONLY;
extern BoolControlParameter WEEK;
extern BoolControlParameter PARK_SOFT;

// Integers.
extern RangeParameter MAIN_WINDOW_X;
extern RangeParameter MAIN_WINDOW_Y;
extern RangeParameter LAST_EPOCH_TIME;  // key "LAST_EPOCH_TIME:"
extern RangeParameter CUSTOM_PARKING_PERCENTAGE;
extern RangeParameter HOLDING_THRESHOLD_METERS;
extern RangeParameter MAX_HOLDING_MINUTES;
extern RangeControlParameter AIRP_HEIGHT;
extern RangeParameter MAX_FIT;
extern RangeControlParameter MATCHING_DEPTH;
extern RangeControlParameter RANGE;
extern RangeControlParameter AR_ABOVE_HEIGHT;
extern RangeControlParameter MAX_PARK_SEL;
extern RangeControlParameter MAX_LIVE_SEL;
extern RangeControlParameter AIRP_RANGE;
extern RangeControlParameter parking_percentage;
extern FloatRangeControlParameter MAX_FIT_FL;

// The traffic radius of RANGE as the traffic filter and the engine read it,
// in nautical miles; the radius setter changes it with RANGE.
extern std::atomic<double> rangeNm;
// The same radius in whole metres (nm x 1852), worked out from rangeNm on
// each call, so the two can never disagree; 0 for a radius that is no
// distance.
std::int32_t rangeMeters();

// Texts.
extern StringParameter PROGRAM_VERSION;
extern StringParameter MSFS_INSTALL_PATH;
extern StringParameter PORT_NUMBER;
extern StringParameter lfolder0;
extern StringParameter lfolder1;
extern StringParameter lfolder2;
extern StringParameter lfolder3;
extern StringParameter lfolder4;
extern StringParameter lfolder5;
extern StringParameter lfolder6;
extern StringParameter lfolder7;
extern StringParameter lfolder8;
extern StringParameter lfolder9;
extern StringParameter AIG_VERSION;
extern StringParameter DBASE_VERSION;
extern StringParameter AIRPORTS_VERSION;
extern StringParameter LIV_SCAN_VERSION;
extern StringParameter ADDONS_SCAN_VERSION;
extern StringParameter MYSIMADDON24_VERSION;
extern StringParameter MSFS_2024_INSTALL_PATH;
extern ChoiceParameter AI_PACKAGE_SELECTOR;
extern StringControlParameter DESTINATION;
extern StringControlParameter BLOCK_CALLSIGN;
// The two values of SIM_CHOICE, as the settings file, the window and the
// connection text spell them.
inline constexpr std::string_view kSimChoice2020 = "MSFS 2020";
inline constexpr std::string_view kSimChoice2024 = "MSFS 2024";
extern ChoiceParameter SIM_CHOICE;
extern StringControlParameter ALL_INSTALL_PATH;
extern SharedChoiceParameter CALLSIGN_2_OBJECTID;

// Buttons of the main window.
extern CommandButton FLUSH_STATIC_BUTTON;  // "Flush static"
extern CommandButton TBLO_ZIP_BUTTON;      // "tblo.zip"
extern CommandButton UNBLOCK_BUTTON;       // "Unblock"
extern CommandButton CS_TO_OID_BUTTON;     // "cs->oid:"
extern CommandButton BLOCK_BUTTON;         // "Block"
extern CommandButton NOW_BUTTON;           // "Now"
extern CommandButton REREAD_BUTTON;        // "Re-read"

// The registries, in the order parameters.xml is read and written. AIRP_HEIGHT
// stands in both integer registries.
extern const std::vector<BoolParameter*> boolParameters;
extern const std::vector<BoolControlParameter*> boolControlParameters;
extern const std::vector<RangeParameter*> rangeParameters;
extern const std::vector<RangeControlParameter*> rangeControlParameters;
extern const std::vector<StringParameter*> stringParameters;
extern const std::vector<StringControlParameter*> shownStringParameters;

// Every setting back to the values it was built with, and the traffic radius
// back to RANGE's: the one reset of the settings (a fresh start for tests and
// tools). Control handles stay as the window set them.
void resetAllSettings();

// The parking settings a stand file keeps per airport, by the settings' own
// keys: RANGE, AUTO_RANGE, INITIAL_LOAD_ONLY, PARK_SOFT, parking_percentage,
// MAX_FIT, WEEK, MAX_LIVE_SEL.
extern const std::array<std::string_view, 8> parkingSettingKeys;

// The index of the first entry that equals `text` exactly (case sensitive);
// nothing when absent.
std::optional<std::size_t> exactIndex(const std::vector<std::string>& values, const std::string& text);
// Position of the current value among the allowed values, by exactIndex.
std::optional<std::size_t> gf_findChoiceIndex(const ChoiceParameter& setting);

}  // namespace qvl
