// The window's edit fields: Enter in one of them, and the destination that
// the start of a run sets from the stored setting. Each field answers on the
// message line, stores its setting and saves it at once; a field the user
// got wrong shows the stored value again.
//
// The program owns one EditFields with the other capabilities of the window
// (ProgramParts); what the fields act on besides the settings is given when
// it is built.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/run_state.h"
#include "platform/ui/controls.h"
#include "run/window/command_flags.h"
#include "simlink/sim_version.h"

namespace qvl {

struct EditFieldOwners {
    // A new install path ends the run for a restart.
    RunState& run;
    // A changed blocked callsign is served by the run thread.
    CommandFlags& flags;
    // The main window's controls: the fields are read and shown there.
    ui::Controls& controls;
    // The simulator of the current run: whose install path is typed.
    std::function<SimVersion()> simVersion{};
    // The airport list's position of a code; none when unknown.
    std::function<std::optional<GeoPosition>(const FixedCode4&)> airportPosition{};
    // Hands the destination over to become the last of the park airports.
    // Called on the thread that set it; the list is the run thread's.
    std::function<void(const FixedCode4&, const GeoPosition&)> pushParkAirport{};
};

class EditFields {
public:
    // Throws std::logic_error, naming them, when functions are missing.
    explicit EditFields(EditFieldOwners owners);
    EditFields(const EditFields&) = delete;
    EditFields& operator=(const EditFields&) = delete;

    // Enter in the edit with that id (UI thread).
    void lf_editSubclassProc(std::uint16_t controlId) const;
    // Stores and shows the destination and makes it the next park airport.
    void lf_setDestination(const std::string& text, const GeoPosition& position) const;

private:
    const EditFieldOwners owners_;  // set once, before any thread can call them
};

// The "Unblock" button: BLOCK_CALLSIGN emptied and saved, and the run told.
void lf_unblockCallsign(ui::Controls& controls, CommandFlags& flags);
// The "Block" button: the callsign becomes BLOCK_CALLSIGN (saved) and the
// run removes its aircraft.
void lf_saveBlockCallsign(ui::Controls& controls, CommandFlags& flags, const std::string& callsign);
}  // namespace qvl
