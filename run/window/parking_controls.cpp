#include "run/window/parking_controls.h"

#include <fmt/format.h>

#include "core/messages.h"
#include "core/paths.h"
#include "core/setting_controls.h"
#include "core/settings.h"
#include "core/strings.h"

namespace qvl {
namespace {

constexpr std::uint32_t kParkingCycleSeconds = 15;

void setParkingControlsEnabled(ui::Controls& controls, bool enabled) {
    for (const ControlBinding* binding :
         std::initializer_list<const ControlBinding*>{&MAX_PARK_SEL, &MAX_LIVE_SEL, &parking_percentage, &WEEK,
                                                      &PARK_SOFT, &MAX_FIT_FL, &FLUSH_STATIC_BUTTON, &REREAD_BUTTON}) {
        setControlEnabled(controls, *binding, enabled);
    }
    // With INITIAL_LOAD_ONLY on, "Now" stays off: there is no next update to bring forward.
    if (!INITIAL_LOAD_ONLY.value()) setControlEnabled(controls, NOW_BUTTON, enabled);
}

}  // namespace

void gf_disableParkingControls(const WindowStatus& status) {
    CommandFlags& flags = status.flags();
    setParkingControlsEnabled(status.controls(), false);
    flags.nowAllowed = true;
    status.repaint(WindowRegion::controlsArea);
}

void gf_enableParkingControls(const WindowStatus& status) {
    CommandFlags& flags = status.flags();
    status.window().staticParkingCountdown = kStaticParkingMinutes;
    setParkingControlsEnabled(status.controls(), true);
    flags.nowAllowed = true;
    status.repaint(WindowRegion::controlsArea);
}

void lf_announceStaticParkingUpdate(const WindowStatus& status, std::uint32_t secondsCounter) {
    status.parkingUpdate().ask();
    gf_disableParkingControls(status);
    const std::uint32_t wait = (secondsCounter / kParkingCycleSeconds + 1) * kParkingCycleSeconds - secondsCounter;
    gf_showMessage(
        fmt::format("{} will update static parking in {} second{} ...", kProductName, wait, gf_pluralSuffixSize(wait)),
        MessageLogging::notLogged);
}

void stepStaticParkingCountdown(const WindowStatus& status, const CountdownMinute& minute) {
    CommandFlags& flags = status.flags();
    MainWindowState& window = status.window();
    std::int32_t minutes = flags.staticParkingCountdown.load() - 1;
    if (minutes < 1) {
        minutes = kStaticParkingMinutes;
        if (minute.staticParkingActive && !INITIAL_LOAD_ONLY.value() && !status.parkingUpdate().busy()) {
            lf_announceStaticParkingUpdate(status, minute.secondsCounter);
        }
    }
    flags.staticParkingCountdown = minutes;
    window.staticParkingCountdown = minutes;
    status.repaint(WindowRegion::controlsArea);
}

}  // namespace qvl
