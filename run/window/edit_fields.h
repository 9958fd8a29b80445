// The window's edit fields: Enter in one of them, and the destination that
// the start of a run sets from the stored setting. Each field answers on the
// message line, stores its setting and saves it at once; a field the user
// got wrong shows the stored value again.
//
// What the fields act on besides the settings is given once by the program
// (installEditFields). Until then Enter logs that the fields are not wired.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "core/run_state.h"
#include "run/window/command_flags.h"
#include "simlink/sim_version.h"

namespace qvl {

struct EditFieldOwners {
    // A new install path ends the run for a restart.
    RunState& run;
    // A changed blocked callsign is served by the run thread.
    CommandFlags& flags;
    // The simulator of the current run: whose install path is typed.
    std::function<SimVersion()> simVersion{};
    // The airport list's position of a code; none when unknown.
    std::function<std::optional<GeoPosition>(const FixedCode4&)> airportPosition{};
    // Hands the destination over to become the last of the park airports.
    // Called on the thread that set it; the list is the run thread's.
    std::function<void(const FixedCode4&, const GeoPosition&)> pushParkAirport{};
};

// Installs the fields' owners for the program (nullptr uninstalls). Throws
// std::logic_error, naming them, when functions are missing.
void installEditFields(std::shared_ptr<const EditFieldOwners> owners);

// Unwires the fields; a destructor may call it.
void uninstallEditFields() noexcept;

// Installs the owners for as long as it lives; the fields are unwired after.
class EditFieldsInstalled {
public:
    explicit EditFieldsInstalled(std::shared_ptr<const EditFieldOwners> owners) {
        installEditFields(std::move(owners));
    }
    ~EditFieldsInstalled() { uninstallEditFields(); }
    EditFieldsInstalled(const EditFieldsInstalled&) = delete;
    EditFieldsInstalled& operator=(const EditFieldsInstalled&) = delete;
};

// Enter in the edit with that id (UI thread).
void lf_editSubclassProc(std::uint16_t controlId);
// The "Unblock" button: BLOCK_CALLSIGN emptied and saved, and the run told.
void lf_unblockCallsign(CommandFlags& flags);
// The "Block" button: the callsign becomes BLOCK_CALLSIGN (saved) and the
// run removes its aircraft.
void lf_saveBlockCallsign(CommandFlags& flags, const std::string& callsign);
// Stores and shows the destination and makes it the next park airport.
void lf_setDestination(const std::string& text, const GeoPosition& position);

}  // namespace qvl
