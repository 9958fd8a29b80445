#include "platform/ui/headless_controls.h"

#include <utility>

namespace qvl::ui {

ControlHandle HeadlessControls::create(ControlKind kind, std::uint16_t controlId) {
    std::lock_guard lock(mutex_);
    const ControlHandle handle = nextHandle_++;
    Control control;
    control.kind = kind;
    control.id = controlId;
    controls_.emplace(handle, std::move(control));
    return handle;
}

ControlHandle HeadlessControls::create(const ControlSpec& spec) {
    Control control;
    control.kind = spec.kind;
    control.id = spec.id;
    control.enabled = spec.enabled;
    control.checked = spec.kind == ControlKind::CheckBox && spec.checked;
    control.text = spec.text;
    control.place = Rect{.left = spec.x, .top = spec.y, .right = spec.x + spec.width, .bottom = spec.y + spec.height};
    control.background = spec.background;
    std::lock_guard lock(mutex_);
    const ControlHandle handle = nextHandle_++;
    controls_.emplace(handle, std::move(control));
    return handle;
}

std::optional<ControlState> HeadlessControls::state(ControlHandle control) const {
    std::lock_guard lock(mutex_);
    const Control* c = findAnyLocked(control);
    if (c == nullptr) return std::nullopt;
    return stateOf(control, *c);
}

std::vector<ControlState> HeadlessControls::states() const {
    std::lock_guard lock(mutex_);
    std::vector<ControlState> all;
    all.reserve(controls_.size());
    for (const auto& [handle, control] : controls_) all.push_back(stateOf(handle, control));
    return all;
}

ControlState HeadlessControls::stateOf(ControlHandle handle, const Control& control) {
    return ControlState{.handle = handle,
                        .spec = ControlSpec{.kind = control.kind,
                                            .id = control.id,
                                            .x = control.place.left,
                                            .y = control.place.top,
                                            .width = control.place.width(),
                                            .height = control.place.height(),
                                            .text = control.text,
                                            .enabled = control.enabled,
                                            .checked = control.checked,
                                            .background = control.background},
                        .items = control.items,
                        .selection = control.selection};
}

void HeadlessControls::destroy(ControlHandle control) {
    std::lock_guard lock(mutex_);
    controls_.erase(control);
}

ControlHandle HeadlessControls::find(std::uint16_t controlId) const {
    std::lock_guard lock(mutex_);
    for (const auto& [handle, control] : controls_) {
        if (control.id == controlId) {
            return handle;
        }
    }
    return kNoControl;
}

bool HeadlessControls::exists(ControlHandle control) const {
    std::lock_guard lock(mutex_);
    return findAnyLocked(control) != nullptr;
}

void HeadlessControls::resetContent(ControlHandle combo) {
    std::lock_guard lock(mutex_);
    if (Control* c = findLocked(combo, ControlKind::ComboBox)) {
        c->items.clear();
        c->selection = kNoSelection;
    }
}

void HeadlessControls::addString(ControlHandle combo, std::string_view item) {
    std::lock_guard lock(mutex_);
    if (Control* c = findLocked(combo, ControlKind::ComboBox)) {
        c->items.emplace_back(item);
    }
}

void HeadlessControls::setCurrentSelection(ControlHandle combo, int index) {
    std::lock_guard lock(mutex_);
    if (Control* c = findLocked(combo, ControlKind::ComboBox)) {
        const bool inList = index >= 0 && static_cast<std::size_t>(index) < c->items.size();
        c->selection = inList ? index : kNoSelection;
    }
}

int HeadlessControls::selectString(ControlHandle combo, std::string_view prefix) {
    std::lock_guard lock(mutex_);
    Control* c = findLocked(combo, ControlKind::ComboBox);
    if (c == nullptr) {
        return kNoSelection;
    }
    const int index = findPrefixIgnoringCase(c->items, prefix);
    if (index != kNoSelection) {
        c->selection = index;
    }
    return index;
}

std::vector<std::string> HeadlessControls::items(ControlHandle combo) const {
    std::lock_guard lock(mutex_);
    const Control* c = findLocked(combo, ControlKind::ComboBox);
    return c != nullptr ? c->items : std::vector<std::string>{};
}

int HeadlessControls::currentSelection(ControlHandle combo) const {
    std::lock_guard lock(mutex_);
    const Control* c = findLocked(combo, ControlKind::ComboBox);
    return c != nullptr ? c->selection : kNoSelection;
}

void HeadlessControls::setChecked(ControlHandle checkBox, bool checked) {
    std::lock_guard lock(mutex_);
    if (Control* c = findLocked(checkBox, ControlKind::CheckBox)) {
        c->checked = checked;
    }
}

bool HeadlessControls::isChecked(ControlHandle checkBox) const {
    std::lock_guard lock(mutex_);
    const Control* c = findLocked(checkBox, ControlKind::CheckBox);
    return c != nullptr && c->checked;
}

void HeadlessControls::setText(ControlHandle control, std::string_view text) {
    std::lock_guard lock(mutex_);
    if (Control* c = findAnyLocked(control)) {
        c->text.assign(text);
    }
}

std::string HeadlessControls::text(ControlHandle control) const {
    std::lock_guard lock(mutex_);
    const Control* c = findAnyLocked(control);
    return c != nullptr ? c->text : std::string{};
}

void HeadlessControls::setEnabled(ControlHandle control, bool enabled) {
    std::lock_guard lock(mutex_);
    if (Control* c = findAnyLocked(control)) {
        c->enabled = enabled;
    }
}

bool HeadlessControls::isEnabled(ControlHandle control) const {
    std::lock_guard lock(mutex_);
    const Control* c = findAnyLocked(control);
    return c != nullptr && c->enabled;
}

HeadlessControls::Control* HeadlessControls::findLocked(ControlHandle handle, ControlKind kind) {
    Control* c = findAnyLocked(handle);
    return (c != nullptr && c->kind == kind) ? c : nullptr;
}

const HeadlessControls::Control* HeadlessControls::findLocked(ControlHandle handle, ControlKind kind) const {
    const Control* c = findAnyLocked(handle);
    return (c != nullptr && c->kind == kind) ? c : nullptr;
}

HeadlessControls::Control* HeadlessControls::findAnyLocked(ControlHandle handle) {
    const auto it = controls_.find(handle);
    return it != controls_.end() ? &it->second : nullptr;
}

const HeadlessControls::Control* HeadlessControls::findAnyLocked(ControlHandle handle) const {
    const auto it = controls_.find(handle);
    return it != controls_.end() ? &it->second : nullptr;
}

}  // namespace qvl::ui
