#include "core/setting_controls.h"

#include <memory>

#include "platform/ui/controls.h"

namespace qvl {

void selectRangeValue(const RangeControlParameter& setting) {
    const auto index = setting.valueIndex(setting.value());
    if (!index) return;
    const std::shared_ptr<ui::Controls> controls = ui::installedControls();
    if (!controls) return;
    controls->setCurrentSelection(setting.controlHandle(), static_cast<int>(*index));
}

void setControlEnabled(const ControlBinding& binding, bool enabled) {
    const std::shared_ptr<ui::Controls> controls = ui::installedControls();
    if (!controls) return;
    controls->setEnabled(binding.controlHandle(), enabled);
}

}  // namespace qvl
