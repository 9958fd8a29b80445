#include "run/window/shell.h"

#include <system_error>

#include "core/log.h"
#include "core/setting_controls.h"
#include "platform/sys/known_folders.h"
#include "platform/sys/shell_open.h"
#include "run/window/message_area.h"
#include "run/window/window_layout.h"

namespace qvl {
namespace fs = std::filesystem;

std::optional<fs::path> gf_getKnownFolderPath(KnownFolder folder) {
    fs::path path = folder == KnownFolder::roamingAppData ? sys::roamingAppDataFolder() : sys::localAppDataFolder();
    std::error_code error;
    if (path.empty() || !fs::is_directory(path, error)) return std::nullopt;
    return path;
}

fs::path gf_appDataPath() {
    if (auto path = gf_getKnownFolderPath(KnownFolder::roamingAppData)) return *path;
    gf_logAttention("Could not find the AppData path");
    return {};
}

fs::path gf_localAppDataPath() {
    if (auto path = gf_getKnownFolderPath(KnownFolder::localAppData)) return *path;
    gf_logAttention("Could not find the Local AppData path");
    return {};
}

bool gf_openWithShell(const fs::path& file) {
    std::error_code error;
    if (!fs::exists(file, error)) return false;
    const fs::path folder = file.parent_path();
    if (folder.empty()) return false;
    return sys::openFolderInFileManager(folder);
}

namespace {

// Edits and check boxes show the controls area's light blue behind their
// text, as the window paints it around them.
ui::Colour textBackground() { return canvasColour(colour::lightBlue); }

ui::ControlHandle createChild(ui::Window& window, const ChildControl& child, ui::ControlSpec spec) {
    const WindowRect place = childRect(child);
    spec.id = child.binding->controlId();
    spec.x = place.left;
    spec.y = place.top;
    spec.width = place.right - place.left;
    spec.height = place.bottom - place.top;
    return window.createControl(spec);
}

}  // namespace

void lf_createButton(CommandButton& button, ui::Window& window, int x, int width) {
    button.setControlHandle(createChild(window, {.binding = &button, .kind = ChildKind::button, .x = x, .width = width},
                                        {.kind = ui::ControlKind::Button, .text = button.key(), .enabled = false}));
}

void lf_createCheckbox(BoolControlParameter& setting, ui::Window& window, int x) {
    setting.setControlHandle(
        createChild(window, {.binding = &setting, .kind = ChildKind::checkBox, .x = x, .width = kCheckBoxSize},
                    {.kind = ui::ControlKind::CheckBox,
                     .enabled = true,
                     .checked = setting.value(),
                     .background = textBackground()}));
}

void lf_createEdit(StringControlParameter& setting, ui::Window& window, int x, int width) {
    setting.setControlHandle(
        createChild(window, {.binding = &setting, .kind = ChildKind::edit, .x = x, .width = width},
                    {.kind = ui::ControlKind::Edit, .enabled = false, .background = textBackground()}));
}

void createComboBox(ControlBinding& binding, ui::Window& window, int x, int width, int listHeight) {
    binding.setControlHandle(createChild(
        window, {.binding = &binding, .kind = ChildKind::comboBox, .x = x, .width = width, .listHeight = listHeight},
        {.kind = ui::ControlKind::ComboBox, .enabled = true}));
}

void gf_enableControl(ui::Controls& controls, const ControlBinding& binding) {
    setControlEnabled(controls, binding, true);
}

}  // namespace qvl
