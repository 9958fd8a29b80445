// The main window's controls kept in memory, for tests and for runs without a
// display. It behaves like the window system's controls as far as the program
// can tell: handles are handed out at creation and never reused, a drop-down
// loses its selection when it is emptied, and operations on a stale handle or
// on a control of another kind are ignored.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/canvas.h"
#include "platform/ui/controls.h"

namespace qvl::ui {

// Everything the model knows of one control, read in one go.
struct ControlState {
    ControlHandle handle = kNoControl;
    // Place and kind as created; text, enabled and checked as they are now.
    ControlSpec spec{};
    std::vector<std::string> items{};
    int selection = kNoSelection;
};

class HeadlessControls final : public Controls {
public:
    // A new control with the window's control id; it starts enabled, empty,
    // unchecked and without selection.
    ControlHandle create(ControlKind kind, std::uint16_t controlId);
    // A new control at its place, starting as its description says.
    ControlHandle create(const ControlSpec& spec);
    void destroy(ControlHandle control);
    ControlHandle find(std::uint16_t controlId) const override;

    // Nothing for a stale handle.
    std::optional<ControlState> state(ControlHandle control) const;
    // Every live control, oldest first.
    std::vector<ControlState> states() const;

    bool exists(ControlHandle control) const override;

    void resetContent(ControlHandle combo) override;
    void addString(ControlHandle combo, std::string_view item) override;
    void setCurrentSelection(ControlHandle combo, int index) override;
    int selectString(ControlHandle combo, std::string_view prefix) override;
    std::vector<std::string> items(ControlHandle combo) const override;
    int currentSelection(ControlHandle combo) const override;

    void setChecked(ControlHandle checkBox, bool checked) override;
    bool isChecked(ControlHandle checkBox) const override;

    void setText(ControlHandle control, std::string_view text) override;
    std::string text(ControlHandle control) const override;

    void setEnabled(ControlHandle control, bool enabled) override;
    bool isEnabled(ControlHandle control) const override;

private:
    struct Control {
        ControlKind kind = ControlKind::Edit;
        std::uint16_t id = 0;
        bool enabled = true;
        bool checked = false;
        int selection = kNoSelection;
        std::string text;
        std::vector<std::string> items;
        Rect place;
        std::optional<Colour> background;
    };

    static ControlState stateOf(ControlHandle handle, const Control& control);

    // Callers hold mutex_.
    Control* findLocked(ControlHandle handle, ControlKind kind);
    const Control* findLocked(ControlHandle handle, ControlKind kind) const;
    Control* findAnyLocked(ControlHandle handle);
    const Control* findAnyLocked(ControlHandle handle) const;

    mutable std::mutex mutex_;  // a leaf lock: guards everything below
    std::map<ControlHandle, Control> controls_;
    ControlHandle nextHandle_ = 1;
};

}  // namespace qvl::ui
