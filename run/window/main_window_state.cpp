#include "run/window/main_window_state.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace qvl {
namespace {

// Works for a const and a mutable record alike.
template <class Texts>
auto& textSlot(Texts& texts, WindowText which) {
    switch (which) {
        case WindowText::userAircraft: return texts.userAircraft;
        case WindowText::parkAirportLine: return texts.parkAirportLine;
        case WindowText::parkAirport: return texts.parkAirport;
        case WindowText::airportFile: return texts.airportFile;
        case WindowText::quality: return texts.quality;
        case WindowText::simulator: return texts.simulator;
        case WindowText::realTraffic: return texts.realTraffic;
        case WindowText::userStand: return texts.userStand;
        case WindowText::reservedStand: return texts.reservedStand;
        case WindowText::followedAircraft: return texts.followedAircraft;
    }
    return texts.userAircraft;  // not reached: every enumerator is listed above
}

MainWindowStateHooks required(MainWindowStateHooks hooks) {
    std::string missing;
    if (!hooks.takeSourceValues) missing += " takeSourceValues";
    if (!missing.empty()) throw std::invalid_argument("main window state hooks not wired:" + missing);
    return hooks;
}

}  // namespace

MainWindowState::MainWindowState(MainWindowStateHooks hooks) : hooks_(required(std::move(hooks))) {
    reset();
    // Last, so a reader that sees the flag also sees every start value.
    ready_.exchange(true, std::memory_order_acq_rel);
}

void MainWindowState::setText(WindowText which, std::string text) {
    std::lock_guard lock(textMutex_);
    textSlot(texts_, which) = std::move(text);
}

std::string MainWindowState::text(WindowText which) const {
    std::lock_guard lock(textMutex_);
    return textSlot(texts_, which);
}

MainWindowTexts MainWindowState::texts() const {
    std::lock_guard lock(textMutex_);
    return texts_;
}

void MainWindowState::reset() {
    {
        std::lock_guard lock(textMutex_);
        texts_ = {};
    }
    meanStaticParkedHours = kNoMeanParkedTime;
    meanLiveParkedHours = kNoMeanParkedTime;
    activeLiveCount = 0;
    simaddonAirports = 0;
    thirdpartyAirports = 0;
    // scannedLiveries stays: it counts the livery catalogue, which is built
    // once per process, and a restart skips building it again.
    parkedLiveCount = 0;
    staticParkedCount = 0;
    parkAirportStands = 0;
    parkingStatsTop = kParkingStatsTop;
    maxParkSharePercent = 0;
    maxParked = 0;
    qnh = 0;
    staticParkingCountdown = 0;
    learnedUpdates = 0;
    candidateCount = 0;
    unrecognisedAirports = 0;
    parkTrafficWeek = 0;
    parkFileHandmade = false;
    realTrafficNotStarted = true;
    realTrafficReady = false;
    parkAirportLoaded = false;
    simConnected = false;
    simRunning = false;
    userModelKnown = true;
    softFit = false;
    weekFit = false;
    reservedStandValid = false;
    trafficLamp = LampState::notRunning;
    weatherLamp = LampState::notRunning;
}

}  // namespace qvl
