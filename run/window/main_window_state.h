// What the main window shows besides its controls: the texts, counters,
// flags and lamps that the run, the simulator link, the readers and the
// engine set from their own threads and that the window paints. Its repaint
// requests go through the program's status (run/window/window_status.h).
//
// Texts sit behind one mutex and are read as one snapshot, so the painter
// never sees half of an update; counters, flags and lamps are atomics. A
// writer never paints: it changes a value and asks the UI thread for a
// repaint of the region concerned.
//
// The message and error lines are not here: they live with the log, below
// the window (core/messages.h), and the window only paints them.
//
// One MainWindowState is owned by the program and lives as long as the
// window; the reset before each run puts the start values back.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "run/window/window_layout.h"

namespace qvl {

// The texts of the status panel and the parking statistics.
struct MainWindowTexts {
    std::string userAircraft;      // the user aircraft's title
    std::string parkAirportLine;   // first line of the parking statistics
    std::string parkAirport;       // shown after the park-airport line
    std::string airportFile;       // the park airport's file, after it
    std::string quality;           // shown as "qf: <text>"
    std::string simulator;         // simulator name and version
    std::string realTraffic;       // the traffic client's edition and version
    std::string userStand;         // the stand at the user aircraft's position
    std::string reservedStand;     // the park airport's, shown as "reserved stand: <text>"
    std::string followedAircraft;  // beside the callsign choice
};

// Names one text of MainWindowTexts for a single write.
enum class WindowText : std::uint8_t {
    userAircraft,
    parkAirportLine,
    parkAirport,
    airportFile,
    quality,
    simulator,
    realTraffic,
    userStand,
    reservedStand,
    followedAircraft,
};

// A reader lamp of the status panel.
enum class LampState : std::uint32_t { receiving = 1, noDatagram = 2, notRunning = 3 };

inline constexpr float kNoMeanParkedTime = -1.0F;
inline constexpr std::uint32_t kParkingStatsTop = 399;

class MainWindowState;

// What the state needs of its surroundings, given when it is built.
struct MainWindowStateHooks {
    // Copies into the state what other parts own (lamps, link texts, park
    // statistics); the window calls it right before it paints.
    std::function<void(MainWindowState&)> takeSourceValues{};
};

class MainWindowState {
public:
    // Throws std::invalid_argument, naming it, when the hook is missing: a
    // state that paints values nobody brings in would leave the window
    // silently stale.
    explicit MainWindowState(MainWindowStateHooks hooks);
    MainWindowState(const MainWindowState&) = delete;
    MainWindowState& operator=(const MainWindowState&) = delete;

    void setText(WindowText which, std::string text);
    [[nodiscard]] std::string text(WindowText which) const;
    // Every text at once, as the painter reads them.
    [[nodiscard]] MainWindowTexts texts() const;

    // Mean parked time in hours, kNoMeanParkedTime when there is none.
    std::atomic<float> meanStaticParkedHours{kNoMeanParkedTime};
    std::atomic<float> meanLiveParkedHours{kNoMeanParkedTime};
    std::atomic<std::uint64_t> activeLiveCount{0};  // live aircraft not parked
    std::atomic<std::uint64_t> simaddonAirports{0};
    std::atomic<std::uint64_t> thirdpartyAirports{0};
    std::atomic<std::uint64_t> scannedLiveries{0};
    std::atomic<std::uint64_t> parkedLiveCount{0};
    std::atomic<std::uint64_t> staticParkedCount{0};
    std::atomic<std::uint64_t> parkAirportStands{0};
    std::atomic<std::uint32_t> parkingStatsTop{kParkingStatsTop};
    std::atomic<std::int32_t> maxParkSharePercent{0};
    std::atomic<std::int32_t> maxParked{0};  // 0 = no maximum
    std::atomic<std::int32_t> qnh{0};        // hPa; below 1 = unknown
    // Minutes to the next static-parking update as the window shows them.
    std::atomic<std::int32_t> staticParkingCountdown{0};
    std::atomic<std::uint32_t> learnedUpdates{0};
    std::atomic<std::uint64_t> candidateCount{0};
    // Airport files the scan packed into tblo.zip for the user to mail; 0 = none.
    std::atomic<std::uint64_t> unrecognisedAirports{0};
    // The traffic week the park airport's file was learned in ("wk=").
    std::atomic<std::uint64_t> parkTrafficWeek{0};

    std::atomic<bool> parkFileHandmade{false};
    std::atomic<bool> realTrafficNotStarted{true};
    std::atomic<bool> realTrafficReady{false};
    std::atomic<bool> parkAirportLoaded{false};
    std::atomic<bool> simConnected{false};
    std::atomic<bool> simRunning{false};
    std::atomic<bool> userModelKnown{true};
    std::atomic<bool> softFit{false};
    std::atomic<bool> weekFit{false};
    std::atomic<bool> reservedStandValid{false};

    std::atomic<LampState> trafficLamp{LampState::notRunning};
    std::atomic<LampState> weatherLamp{LampState::notRunning};

    // Through the hook given at construction.
    void takeSourceValues() { hooks_.takeSourceValues(*this); }

    // Back to the start values (the reset before a run), all but the count
    // of scanned liveries, which belongs to the catalogue of the process.
    // The hook is wiring, not state, and stays.
    void reset();
    // Set by the constructor last, after every start value is in place; the
    // window is created only once it is set.
    [[nodiscard]] bool isReady() const noexcept { return ready_.load(std::memory_order_acquire); }

private:
    const MainWindowStateHooks hooks_;  // set once, before any thread can call it
    mutable std::mutex textMutex_;      // a leaf lock: guards texts_
    MainWindowTexts texts_;
    std::atomic<bool> ready_{false};
};

}  // namespace qvl
