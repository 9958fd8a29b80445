#include "run/window/status_panel.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "airports/addon/tblo.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/strings.h"
#include "core/version.h"
#include "engine/base/engine.h"
#include "engine/parking/park_averages.h"
#include "platform/ui/controls.h"
#include "run/window/message_area.h"
#include "run/window/window_layout.h"

namespace qvl {
namespace {

constexpr ui::Rect kTitleStrip{0, 0, kMainWindowWidth, 28};
constexpr ui::Rect kMessageBand{0, 448, kMainWindowWidth, 476};
constexpr ui::Rect kSimLamp{397, 30, 426, 113};
constexpr ui::Rect kRealTrafficLamp{425, 30, 454, 113};
constexpr int kParkingLineStep = 28;

int rowOf(const ControlBinding& binding) { return static_cast<int>(binding.rowY()); }

std::uint32_t yellowWhen(bool condition) { return condition ? colour::yellow : colour::black; }
std::uint32_t greyWhen(bool condition) { return condition ? colour::grey : colour::black; }
std::uint32_t limeOrYellow(bool lime) { return lime ? colour::limeGreen : colour::yellow; }

bool controlEnabled(const ui::Controls& controls, const ControlBinding& binding) {
    return controls.isEnabled(binding.controlHandle());
}

bool callsignSelected(const ui::Controls& controls) {
    return controls.currentSelection(CALLSIGN_2_OBJECTID.controlHandle()) != ui::kNoSelection;
}

std::string countOrDots(std::string_view format, std::uint64_t count) {
    return count == 0 ? fmt::format(fmt::runtime(format), "...") : fmt::format(fmt::runtime(format), count);
}

std::uint32_t simulatorColour(const MainWindowState& state, const MainWindowTexts& texts) {
    if (!state.simConnected.load()) return colour::red;
    if (state.simRunning.load() && !texts.userAircraft.empty()) return colour::limeGreen;
    return colour::yellow;
}

std::uint32_t realTrafficColour(const MainWindowState& state) {
    if (state.realTrafficNotStarted.load()) return colour::black;
    if (!state.realTrafficReady.load()) return colour::red;
    return limeOrYellow(state.trafficLamp.load() == LampState::receiving);
}

bool lampShows(LampState lamp) { return lamp != LampState::notRunning; }

void lf_paintStatusPanel(ui::Canvas& canvas, const MainWindowState& state, const MainWindowTexts& texts) {
    const std::uint32_t sim = simulatorColour(state, texts);
    canvas.fill(kSimLamp, canvasColour(sim));
    lf_drawText(canvas, 398, 63, "Sim", colour::limeGreen);
    if (state.simConnected.load()) {
        std::string line = texts.simulator;
        if (!texts.userStand.empty()) line += ", user stand " + texts.userStand;
        lf_drawText(canvas, 5, 35, line, sim);
        lf_drawText(canvas, 5, 63, texts.userAircraft, state.userModelKnown.load() ? sim : colour::yellow);
    } else {
        lf_drawText(canvas, 5, 35, "MSFS", colour::limeGreen);
    }

    const std::uint64_t liveries = state.scannedLiveries.load();
    lf_drawText(canvas, 5, 91, countOrDots("# liveries: {}", liveries),
                liveries == 0 ? colour::red : colour::limeGreen);
    const std::uint64_t simaddon = state.simaddonAirports.load();
    lf_drawText(canvas, 141, 91, countOrDots("# simaddon: {}", simaddon), limeOrYellow(simaddon != 0));
    const std::uint64_t thirdparty = state.thirdpartyAirports.load();
    lf_drawText(canvas, 278, 91, countOrDots("# thirdp: {}", thirdparty), limeOrYellow(thirdparty != 0));

    canvas.fill(kRealTrafficLamp, canvasColour(realTrafficColour(state)));
    lf_drawText(canvas, 430, 63, "RT", colour::limeGreen);
    if (state.realTrafficReady.load()) {
        const LampState traffic = state.trafficLamp.load();
        const LampState weather = state.weatherLamp.load();
        lf_drawText(canvas, 458, 35, texts.realTraffic, limeOrYellow(traffic == LampState::receiving));
        if (lampShows(weather)) lf_drawText(canvas, 458, 63, "Weather", limeOrYellow(weather == LampState::receiving));
        if (lampShows(traffic)) lf_drawText(canvas, 458, 91, "Traffic", limeOrYellow(traffic == LampState::receiving));
    }
    canvas.line({425, 29}, {425, 112}, canvasColour(colour::black));
}

void paintQnhAndLive(ui::Canvas& canvas, const MainWindowState& state) {
    if (!state.realTrafficReady.load()) return;
    const std::int32_t qnh = state.qnh.load();
    if (lampShows(state.weatherLamp.load()) && qnh >= 1) {
        lf_drawText(canvas, 642, 63, fmt::format("qnh: {:4}", qnh), colour::limeGreen);
    }
    if (lampShows(state.trafficLamp.load())) {
        lf_drawText(canvas, 642, 91, fmt::format("live: {:3}", state.activeLiveCount.load()), colour::limeGreen);
    }
}

std::string countdownText(const MainWindowState& state, const ParkingUpdate& update) {
    if (!state.parkAirportLoaded.load() || update.busy()) return {};
    if (INITIAL_LOAD_ONLY.value()) return "(no next ... )";
    const std::int32_t minutes = state.staticParkingCountdown.load();
    if (minutes >= 1 && minutes <= 19) return fmt::format("(next in {} min)", minutes);
    return {};
}

std::uint32_t maxParkColour(bool own, bool other) {
    if (own && other) return colour::red;
    return yellowWhen(own);
}

void lf_paintLabels(ui::Canvas& canvas, const MainWindowState& state, const ParkingUpdate& update,
                    const MainWindowTexts& texts, const ui::Controls& controls) {
    const auto label = [&canvas](std::string_view text, int x, const ControlBinding& row,
                                 std::uint32_t rgb = colour::black) { lf_drawText(canvas, x, rowOf(row), text, rgb); };
    label("Meta:", 652, ALWAYS_ON_TOP);
    label("Stay on top", 768, ALWAYS_ON_TOP);
    label("Oid list", 672, OBJECTID_LIST);
    label("Nav lights", 768, NAV_LIGHTS_WHILE_PARKED);
    label("GUID changes", 768, GUID_CHANGES, yellowWhen(!GUID_CHANGES.value()));
    label("Aerowinx", 672, AEROWINX, yellowWhen(AEROWINX.value()));
    label("Scan for liveries", 25, SCAN_LIVERIES, yellowWhen(SCAN_LIVERIES.value()));
    label("Automatic:", 237, LIG_AUTOMATIC);
    label("Prioritize", 556, LIG_PRIORITIZE);
    label("Scan for addon airports", 25, SCAN_AIRPORTS, yellowWhen(SCAN_AIRPORTS.value()));
    if (state.unrecognisedAirports.load() != 0) {
        label(fmt::format("<- mail tblo.zip to {}", kSupportMailAddress), 303, SCAN_AIRPORTS, colour::yellow);
    }
    label("Max aircraft matching depth", 5, MATCHING_DEPTH);
    label("Optional:", 258, LIGHT_AIRCRAFT);
    label("Light aircraft", 343, LIGHT_AIRCRAFT, greyWhen(!controlEnabled(controls, LIGHT_AIRCRAFT)));
    label("Helicopters", 450, HELICOPTERS, greyWhen(!controlEnabled(controls, HELICOPTERS)));
    label("FighterJets", 556, HIGH_PERF_AIRCRAFT, greyWhen(!controlEnabled(controls, HIGH_PERF_AIRCRAFT)));
    label("Traffic injection", 5, RANGE);
    label("Radius:", 163, RANGE);
    label("nm, or", 270, RANGE);
    label("Auto radius", 343, AUTO_RANGE);
    label("Ah:", 430, AR_ABOVE_HEIGHT, greyWhen(!AUTO_RANGE.value()));
    label("ft", 536, AR_ABOVE_HEIGHT, greyWhen(!AUTO_RANGE.value()));
    label("AirOnly", 592, AIRBORNE_ONLY, yellowWhen(AIRBORNE_ONLY.value()));
    label("Block callsign:", 5, BLOCK_CALLSIGN);
    if (callsignSelected(controls) && !texts.followedAircraft.empty()) {
        label(texts.followedAircraft, 476, CALLSIGN_2_OBJECTID);
    }
    label("Collision avoidance", 5, COLLISION_USER_GND);
    label("User ground", 237, COLLISION_USER_GND);
    label("User air", 343, COLLISION_USER_AIR);
    label("Live X parked", 450, COLLISION_LIVE_PARKED_GND);
    label("Airport parking", 5, MAX_PARK_SEL, yellowWhen(update.busy()));
    const bool noMaxPark = MAX_PARK_SEL.value() == 0;
    const bool noMaxLive = MAX_LIVE_SEL.value() == 0;
    label("Max park (static+live):", 171, MAX_PARK_SEL, maxParkColour(noMaxPark, noMaxLive));
    label("Max live (park incl):", 401, MAX_LIVE_SEL, maxParkColour(noMaxLive, noMaxPark));
    label("Straight push backs only", 672, STRAIGHT_PBS_ONLY, greyWhen(!STRAIGHT_PBS_ONLY.value()));
    label("Destination:", 137, DESTINATION);
    label("Range:", 303, AIRP_RANGE);
    label("nm", 403, AIRP_RANGE);
    label("Height above gnd:", 440, AIRP_HEIGHT);
    label("ft", 646, AIRP_HEIGHT);
    if (const std::string countdown = countdownText(state, update); !countdown.empty()) label(countdown, 5, AIRP_RANGE);
    label("ILO", 25, INITIAL_LOAD_ONLY, yellowWhen(INITIAL_LOAD_ONLY.value()));
    label("Week", 91, WEEK);
    label("Soft", 171, PARK_SOFT);
    label("Target: ", 264, parking_percentage);
    label("%", 378, parking_percentage);
    label("Max fit:", 506, MAX_FIT_FL);
    label("hrs", 632, MAX_FIT_FL);
}

std::string_view fitMark(bool soft, bool week) {
    if (soft && week) return "*WS*";
    if (soft) return "*S*";
    if (week) return "*W*";
    return {};
}

void lf_paintParkingStats(ui::Canvas& canvas, const MainWindowState& state, const MainWindowTexts& texts) {
    if (texts.parkAirportLine.empty()) return;
    const int y = static_cast<int>(state.parkingStatsTop.load());
    const int y2 = y + kParkingLineStep;
    const bool loaded = state.parkAirportLoaded.load();
    lf_drawText(canvas, 5, y, texts.parkAirportLine, limeOrYellow(loaded));
    if (!loaded) return;

    const auto green = [&canvas](int x, int atY, std::string_view text) {
        lf_drawText(canvas, x, atY, text, colour::limeGreen);
    };
    green(90, y,
          fmt::format(" {}, {}{}, wk={}", texts.parkAirport, texts.airportFile,
                      state.parkFileHandmade.load() ? " (h)" : "", state.parkTrafficWeek.load()));
    const bool weekFit = state.weekFit.load();
    if (const std::string_view mark = fitMark(state.softFit.load(), weekFit); !mark.empty()) green(370, y, mark);
    green(430, y, fmt::format("qf: {}", texts.quality));
    if (!texts.reservedStand.empty()) {
        lf_drawText(canvas, 571, y, fmt::format("reserved stand: {}", texts.reservedStand),
                    state.reservedStandValid.load() ? colour::limeGreen : colour::red);
    }
    green(748, y, fmt::format("# updates: {:4}", state.learnedUpdates.load()));

    green(5, y2, fmt::format("# stands: {:3}", state.parkAirportStands.load()));
    green(111, y2, fmt::format("parked live: {:3}", state.parkedLiveCount.load()));
    if (const float live = state.meanLiveParkedHours.load(); live > 0.0F) {
        green(249, y2, fmt::format("average fit: {}", gf_numberText(live)));
    }
    const std::int32_t maxParked = state.maxParked.load();
    if (maxParked > 0) {
        green(430, y2, fmt::format("static: {:3}", state.staticParkedCount.load()));
        if (const std::uint64_t waiting = state.candidateCount.load(); waiting != 0) {
            lf_drawText(canvas, 500, y2, fmt::format(" ({})", waiting), colour::yellow);
        }
        if (const float parked = state.meanStaticParkedHours.load(); !weekFit && parked > 0.0F) {
            green(571, y2, fmt::format("average fit: {}", gf_numberText(parked)));
        }
    }
    green(708, y2,
          maxParked != 0 ? fmt::format("max park: {:3} (={} %)", maxParked, state.maxParkSharePercent.load())
                         : std::string("no max park live"));
}

}  // namespace

void lf_paintWindow(ui::Canvas& canvas, const MainWindowState& state, const ParkingUpdate& update,
                    const ui::Controls& controls) {
    // No memory bitmap here: each back end already builds the whole image in
    // one go (FLTK double-buffers the window, the headless back end paints
    // into its own image), so the window never shows half a paint.
    const ui::Colour black = canvasColour(colour::black);
    canvas.fill(kTitleStrip, black);
    canvas.fill(regionRect(WindowRegion::statusPanel), black);
    canvas.fill(regionRect(WindowRegion::controlsArea), canvasColour(colour::lightBlue));
    canvas.fill(regionRect(WindowRegion::parkingStats), black);
    canvas.fill(kMessageBand, canvasColour(colour::limeGreen));
    const ui::Colour white = canvasColour(colour::white);
    for (const int y : {28, 113, 449, 392}) canvas.line({0, y}, {kMainWindowWidth, y}, white);

    lf_drawText(canvas, 3, 7, fmt::format("Version {}", gf_versionToString(programVersion())), colour::limeGreen);
    lf_drawText(canvas, 390, 7, kProductName, colour::limeGreen);

    for (const GridSegment& segment : kControlGrid) {
        canvas.line({segment.from.x, segment.from.y}, {segment.to.x, segment.to.y}, black);
    }
    canvas.line({642, 140}, {642, 308}, black);

    // One snapshot of the texts: a writer may change them while we paint.
    const MainWindowTexts texts = state.texts();
    lf_paintStatusPanel(canvas, state, texts);
    paintQnhAndLive(canvas, state);
    lf_paintLabels(canvas, state, update, texts, controls);
    lf_paintParkingStats(canvas, state, texts);
    lf_paintMessageLine(canvas);
}

void takePanelValues(const PanelSources& sources, MainWindowState& window) {
    const SimLinkStatus link = sources.link.status.snapshot();
    window.simConnected = link.connected;
    window.simRunning = link.running;
    window.setText(WindowText::simulator, link.connectionText);

    const UserAircraftBlock user = sources.user.block();
    window.setText(WindowText::userAircraft, user.title);
    window.setText(WindowText::userStand, user.stand);
    window.userModelKnown = user.modelLamp;

    window.trafficLamp = static_cast<LampState>(sources.feed.trafficLamp.load());
    window.weatherLamp = static_cast<LampState>(sources.feed.weatherLamp.load());
    window.qnh = sources.feed.displayedQnh.load();
    // Ready while a traffic client is connected, or from the start of a
    // run whose client is not on this PC.
    window.realTrafficReady = sources.feed.realTrafficDisplay.load();
    window.setText(WindowText::realTraffic, sources.feed.realTrafficText());

    window.parkAirportLoaded = sources.parkAirport.standsLoaded();
    const ParkingStats park = sources.loadedPark.stats.snapshot();
    window.parkAirportStands = static_cast<std::uint64_t>(std::max(park.standCount, 0));
    window.learnedUpdates = static_cast<std::uint32_t>(std::max(park.updates, 0));
    window.parkFileHandmade = park.handmade;
    window.setText(WindowText::airportFile, park.publisher);
    window.setText(WindowText::quality, park.qualityText);
}

void LiveCountRefresh::lf_refreshLiveCount() {
    const auto active = static_cast<std::uint64_t>(std::count_if(
        engine_.state.liveAircraft.begin(), engine_.state.liveAircraft.end(),
        [](const LiveAc& ac) { return ac.status == SimStatus::active && ac.phase != GroundPhase::parked; }));
    if (window_.activeLiveCount.exchange(active) != active) status_.repaint(WindowRegion::statusPanel);

    const ParkAverage live = liveParkAverage(engine_);
    if (parkMeanChanged(window_.meanLiveParkedHours.load(), live.meanHours)) {
        window_.meanLiveParkedHours = live.meanHours;
        engine_.status.statusChanged();
    }
    const ParkAverage statics = staticParkAverage(engine_);
    if (!status_.parkingUpdate().pending.load() &&
        parkMeanChanged(window_.meanStaticParkedHours.load(), statics.meanHours)) {
        window_.meanStaticParkedHours = statics.meanHours;
        engine_.status.statusChanged();
    }
    const auto parkedLive = static_cast<std::uint64_t>(std::max(live.count, 0));
    const auto staticParked = static_cast<std::uint64_t>(std::max(statics.count, 0));
    if (window_.parkedLiveCount.load() != parkedLive || window_.staticParkedCount.load() != staticParked) {
        window_.parkedLiveCount = parkedLive;
        window_.staticParkedCount = staticParked;
        status_.repaint(WindowRegion::parkingStats);
    }
}

}  // namespace qvl
