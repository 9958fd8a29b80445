// The main window's child controls as the program's logic sees them: addressed
// by an opaque handle that the window hands out when it creates a control.
// The settings fill their drop-downs, tick their check boxes and show their
// texts through this interface, so they need no window system of their own.
//
// A window back end implements `Controls`; the program hands that window to
// each part that sets controls when the part is built (there is no
// process-wide window to look up). Every operation on a handle the back end
// does not know, or on a control of another kind, is ignored and reads give
// empty results, as the original window system does with a stale handle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/canvas.h"

namespace qvl::ui {

// 0 is "no control" (not yet created, or already destroyed).
using ControlHandle = std::uintptr_t;
inline constexpr ControlHandle kNoControl = 0;

// "No entry selected" in a drop-down.
inline constexpr int kNoSelection = -1;

enum class ControlKind : std::uint8_t { ComboBox, CheckBox, Edit, Button };

// A child control at its place in the window. A drop-down's `height` is the
// height of its open list; closed it is `kComboBoxHeight` high. `text` is an
// edit's text or a button's caption (a check box shows none of its own).
// Place, kind and background are fixed at creation.
struct ControlSpec {
    ControlKind kind = ControlKind::Edit;
    std::uint16_t id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string text{};
    bool enabled = true;
    bool checked = false;
    // The control's own background; none keeps the back end's (white for
    // edits, check boxes and drop-downs, the button face for buttons).
    std::optional<Colour> background{};
};

// The closed height of a drop-down.
inline constexpr int kComboBoxHeight = 21;

class Controls {
public:
    virtual ~Controls() = default;

    // True while the handle names a live control of this window.
    virtual bool exists(ControlHandle control) const = 0;
    // The live control with that id, or kNoControl. Ids are unique in a
    // window; should two live controls share one, the older is found.
    virtual ControlHandle find(std::uint16_t controlId) const = 0;

    // Drop-down list.
    virtual void resetContent(ControlHandle combo) = 0;
    virtual void addString(ControlHandle combo, std::string_view item) = 0;
    // An index outside the list clears the selection.
    virtual void setCurrentSelection(ControlHandle combo, int index) = 0;
    // Selects the first entry that begins with the text, ignoring ASCII case
    // (an empty text matches the first entry). Returns its index, or
    // kNoSelection when nothing matches; the selection is then unchanged.
    virtual int selectString(ControlHandle combo, std::string_view prefix) = 0;
    virtual std::vector<std::string> items(ControlHandle combo) const = 0;
    virtual int currentSelection(ControlHandle combo) const = 0;

    // Check box.
    virtual void setChecked(ControlHandle checkBox, bool checked) = 0;
    virtual bool isChecked(ControlHandle checkBox) const = 0;

    // The text of an edit box or the caption of a button or check box.
    virtual void setText(ControlHandle control, std::string_view text) = 0;
    virtual std::string text(ControlHandle control) const = 0;

    virtual void setEnabled(ControlHandle control, bool enabled) = 0;
    virtual bool isEnabled(ControlHandle control) const = 0;
};

// First index whose entry begins with the prefix, ignoring ASCII case;
// kNoSelection when none does. The rule of `Controls::selectString`.
int findPrefixIgnoringCase(const std::vector<std::string>& entries, std::string_view prefix);

}  // namespace qvl::ui
