// The shell's services the start-up and the main window use: the user's
// application-data folders, showing a file's folder in the file manager, and
// creating the three kinds of child control that are bound to a setting or a
// command button.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "core/settings.h"
#include "platform/ui/window.h"

namespace qvl {

enum class KnownFolder : std::uint8_t { roamingAppData, localAppData };

// The folder when it exists; nothing otherwise.
std::optional<std::filesystem::path> gf_getKnownFolderPath(KnownFolder folder);
// The folder, or an empty path and a problem line in Log.txt.
std::filesystem::path gf_appDataPath();
std::filesystem::path gf_localAppDataPath();

// Opens the folder that holds the file in the file manager. False when the
// file does not exist, has no parent folder, or the folder could not be shown.
bool gf_openWithShell(const std::filesystem::path& file);

// Child controls of the main window at the binding's row, their handles
// stored in the binding. A button shows its label and starts disabled; a
// check box shows its setting and starts enabled; an edit starts empty and
// disabled (Enter in it reaches the window's events by its id); a drop-down
// starts empty, enabled, with its open list `listHeight` high.
void lf_createButton(CommandButton& button, ui::Window& window, int x, int width);
void lf_createCheckbox(BoolControlParameter& setting, ui::Window& window, int x);
void lf_createEdit(StringControlParameter& setting, ui::Window& window, int x, int width);
void createComboBox(ControlBinding& binding, ui::Window& window, int x, int width, int listHeight);

// The binding's control becomes usable.
void gf_enableControl(ui::Controls& controls, const ControlBinding& binding);

}  // namespace qvl
