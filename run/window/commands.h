// The window's command handlers: a click on a button or a check box, or a
// selection in a drop-down. A setting changed here is saved at once; work
// over the engine's lists is never done on the UI thread: the handler raises
// a request that the run's once-a-second step serves.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/range_control.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "liveries/livery_tables.h"
#include "platform/ui/window.h"
#include "run/window/command_flags.h"
#include "run/window/edit_fields.h"
#include "run/window/main_window_state.h"
#include "run/window/window_status.h"
#include "simlink/sim_version.h"

namespace qvl {

// What the commands act on, given once by the program.
struct WindowCommandOwners {
    // The requests handed to the run thread.
    CommandFlags& flags;
    MainWindowState& window;
    // What changes in the window goes through the program's status: the
    // radius and its drop-down, the parking controls, every repaint.
    WindowStatus& status;
    // New settings that need a new run end this one (the first reason wins).
    RunState& run;
    RangeControl& range;
    // Whether the traffic client has connected yet.
    const FeedState& feed;
    // A clear of the livery tables is asked for here and done by the next start-up.
    LiveryTables& liveryTables;
    // The simulator of the current run; a switch makes the new choice the
    // run's, so that an install path typed before the restart is stored as
    // the new simulator's.
    std::atomic<SimVersion>& simVersion;
    // Static parking runs at a park airport ("Now" does nothing otherwise).
    std::function<bool()> staticParkingActive{};
    // Shows the folder of tblo.zip; false (the user told) when it could not.
    std::function<bool()> openTbloFolder{};
    // Enter in an edit field.
    const EditFields& editFields;
};

// An entry picked in a drop-down.
struct ComboSelection {
    int index = ui::kNoSelection;
    std::string text;
};

// The entry the user picked in the drop-down, when the command is its
// selection change; none when no entry is selected, the index lies past the
// list, or the drop-down does not exist.
std::optional<ComboSelection> lf_getComboSelection(const ui::Controls& controls, const ui::Command& command,
                                                   const ControlBinding& combo);

// Throws std::logic_error, naming them, when functions are missing.
void requireCompleteOwners(const WindowCommandOwners& owners);

class WindowCommands {
public:
    // `window` holds the controls and keeps the program on top when asked.
    WindowCommands(WindowCommandOwners owners, ui::Window& window);

    // True when handled. Throws what a handler throws; the window logs it.
    bool lf_HandleWMCOMMAND(const ui::Command& command);
    // Enter in the edit with that id.
    void onEditEnter(std::uint16_t controlId) const { owners_.editFields.lf_editSubclassProc(controlId); }

private:
    bool handleButton(std::uint16_t controlId);
    bool handleCheckbox(std::uint16_t controlId);
    // What a changed check box does besides saving its setting.
    void applyBox(const BoolControlParameter& box, bool on);
    bool handleDropdown(const ui::Command& command);

    WindowCommandOwners owners_;
    ui::Window& window_;
};

// The other simulator becomes SIM_CHOICE (saved, selected) and the run ends
// for the switch; the window's choice and the simulator link's wrong-simulator
// answer both come here. Any thread.
void switchSimulatorTo(const WindowCommandOwners& owners, std::string_view choice);

// Forgets the scanned liveries and airports of the old simulator, asks for
// both scans and ends the run with NEW SETTINGS after 3 seconds. Throws
// std::filesystem::filesystem_error when LiveriesScanned.xml is there but
// cannot be deleted. Any thread.
void lf_switchMsfsVersion(const WindowCommandOwners& owners);

}  // namespace qvl
