// The window's painter on a recording canvas: for a known window state, the
// texts, lamps and statistics land where the window shows them, in their
// colours; the run's live count asks for a paint only when it changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "airports/loaded_park_airport.h"
#include "core/current_park_airport.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/support/bound_controls.h"
#include "engine/base/parking_update.h"
#include "feed/feed_state.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/canvas.h"
#include "platform/ui/headless_window.h"
#include "run/program.h"
#include "run/window/main_window_state.h"
#include "run/window/message_area.h"
#include "run/window/status_panel.h"
#include "run/window/window_layout.h"
#include "simlink/sim_state.h"
#include "simlink/user_aircraft.h"
#include "support/fake_status.h"
#include "support/run_fakes.h"
#include "support/settings_scope.h"

namespace qvl {
namespace {

constexpr ui::Rect kSimLamp{397, 30, 426, 113};
constexpr ui::Rect kRealTrafficLamp{425, 30, 454, 113};
constexpr int kStatsTop = 399;
constexpr int kStatsSecond = 427;

ui::Colour rgb(std::uint32_t value) { return canvasColour(value); }
int row(const ControlBinding& binding) { return static_cast<int>(binding.rowY()); }

class StatusPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetAllSettings();
        resetMessages();
    }
    void TearDown() override { resetMessages(); }

    void paint() {
        canvas.clear();
        lf_paintWindow(canvas, state, update, bound.controls());
    }
    // The one text op with exactly this text; none when it was not drawn.
    std::optional<ui::DrawOp> text(std::string_view wanted) const {
        std::optional<ui::DrawOp> found;
        for (const ui::DrawOp& op : canvas.ops()) {
            if (op.kind != ui::DrawKind::Text || op.text != wanted) continue;
            EXPECT_FALSE(found.has_value()) << "drawn twice: " << wanted;
            found = op;
        }
        return found;
    }
    bool drawn(std::string_view wanted) const { return text(wanted).has_value(); }
    // The text drawn at that place, or "" when none.
    std::string textAt(ui::Point at) const {
        for (const ui::DrawOp& op : canvas.ops()) {
            if (op.kind == ui::DrawKind::Text && op.from == at) return op.text;
        }
        return {};
    }
    // Expects the text at the place in the colour.
    void expectText(std::string_view wanted, ui::Point at, std::uint32_t colour) const {
        const auto op = text(wanted);
        ASSERT_TRUE(op.has_value()) << "not drawn: " << wanted;
        EXPECT_EQ(op->from, at) << wanted;
        EXPECT_EQ(op->colour, rgb(colour)) << wanted;
    }
    std::optional<ui::Colour> fillOf(const ui::Rect& area) const {
        for (const ui::DrawOp& op : canvas.ops()) {
            if (op.kind == ui::DrawKind::Fill && op.area == area) return op.colour;
        }
        return std::nullopt;
    }
    std::vector<std::string> textsBelow(int y) const {
        std::vector<std::string> texts;
        for (const ui::DrawOp& op : canvas.ops()) {
            if (op.kind == ui::DrawKind::Text && op.from.y >= y && op.from.y < 448) texts.push_back(op.text);
        }
        return texts;
    }
    void realTrafficReady(LampState traffic, LampState weather) {
        state.realTrafficNotStarted = false;
        state.realTrafficReady = true;
        state.trafficLamp = traffic;
        state.weatherLamp = weather;
    }
    void loadedParkAirport() {
        state.setText(WindowText::parkAirportLine, "EHAM Amsterdam");
        state.parkAirportLoaded = true;
    }

    test::SettingsScope settings;
    MainWindowState state{{.takeSourceValues = [](MainWindowState& /*state*/) {}}};
    ParkingUpdate update;
    // The window's controls, whose states the labels follow.
    test::BoundControls bound;
    ui::RecordingCanvas canvas;
};

TEST_F(StatusPanelTest, TheTitleStripNamesTheRunningVersionAndTheProduct) {
    paint();
    expectText("Version " + std::string(kProgramVersionText), {3, 7}, colour::limeGreen);
    expectText("Quorvelant", {390, 7}, colour::limeGreen);
    // One painter: the background first, the message line last.
    ASSERT_FALSE(canvas.ops().empty());
    EXPECT_EQ(canvas.ops().front().area, (ui::Rect{0, 0, 880, 28}));
    EXPECT_EQ(canvas.ops().back().area, regionRect(WindowRegion::messageArea));
}

TEST_F(StatusPanelTest, TheSimulatorLampFollowsConnectionRunAndUserAircraft) {
    paint();
    EXPECT_EQ(fillOf(kSimLamp), rgb(colour::red));
    expectText("MSFS", {5, 35}, colour::limeGreen);

    state.simConnected = true;
    state.setText(WindowText::simulator, "MSFS 2020 (11.0.1)");
    state.setText(WindowText::userStand, "A12");
    paint();
    EXPECT_EQ(fillOf(kSimLamp), rgb(colour::yellow)) << "connected, not running";
    expectText("MSFS 2020 (11.0.1), user stand A12", {5, 35}, colour::yellow);

    state.simRunning = true;
    paint();
    EXPECT_EQ(fillOf(kSimLamp), rgb(colour::yellow)) << "running, no user aircraft yet";

    state.setText(WindowText::userAircraft, "Airbus A320 Test Air");
    paint();
    EXPECT_EQ(fillOf(kSimLamp), rgb(colour::limeGreen));
    expectText("MSFS 2020 (11.0.1), user stand A12", {5, 35}, colour::limeGreen);
    expectText("Airbus A320 Test Air", {5, 63}, colour::limeGreen);

    state.userModelKnown = false;
    paint();
    expectText("Airbus A320 Test Air", {5, 63}, colour::yellow);
}

TEST_F(StatusPanelTest, BeforeTheTrafficClientStartsNothingOfItIsShown) {
    state.trafficLamp = LampState::receiving;
    state.weatherLamp = LampState::receiving;
    state.qnh = 1013;
    state.setText(WindowText::realTraffic, "RT prof edition: 10.0.1");
    paint();
    EXPECT_EQ(fillOf(kRealTrafficLamp), rgb(colour::black));
    expectText("RT", {430, 63}, colour::limeGreen);
    for (const char* hidden : {"RT prof edition: 10.0.1", "Weather", "Traffic", "qnh: 1013", "live:   0"}) {
        EXPECT_FALSE(drawn(hidden)) << hidden;
    }

    state.realTrafficNotStarted = false;
    paint();
    EXPECT_EQ(fillOf(kRealTrafficLamp), rgb(colour::red)) << "started, not ready";
}

TEST_F(StatusPanelTest, TheReaderLampsColourAndHideTheirLabels) {
    state.setText(WindowText::realTraffic, "RT prof edition: 10.0.1");
    state.qnh = 1013;
    state.activeLiveCount = 5;
    realTrafficReady(LampState::receiving, LampState::receiving);
    paint();
    EXPECT_EQ(fillOf(kRealTrafficLamp), rgb(colour::limeGreen));
    expectText("RT prof edition: 10.0.1", {458, 35}, colour::limeGreen);
    expectText("Weather", {458, 63}, colour::limeGreen);
    expectText("Traffic", {458, 91}, colour::limeGreen);
    expectText("qnh: 1013", {642, 63}, colour::limeGreen);
    expectText("live:   5", {642, 91}, colour::limeGreen);

    realTrafficReady(LampState::noDatagram, LampState::notRunning);
    paint();
    EXPECT_EQ(fillOf(kRealTrafficLamp), rgb(colour::yellow));
    expectText("RT prof edition: 10.0.1", {458, 35}, colour::yellow);
    expectText("Traffic", {458, 91}, colour::yellow);
    expectText("live:   5", {642, 91}, colour::limeGreen);
    EXPECT_FALSE(drawn("Weather"));
    EXPECT_FALSE(drawn("qnh: 1013"));

    realTrafficReady(LampState::notRunning, LampState::receiving);
    state.qnh = 0;
    paint();
    EXPECT_FALSE(drawn("Traffic"));
    EXPECT_FALSE(drawn("live:   5"));
    expectText("Weather", {458, 63}, colour::limeGreen);
    EXPECT_EQ(textAt({642, 63}), "") << "an unknown QNH is not shown";
}

TEST_F(StatusPanelTest, MissingCountsShowDotsInTheirWarningColour) {
    paint();
    expectText("# liveries: ...", {5, 91}, colour::red);
    expectText("# simaddon: ...", {141, 91}, colour::yellow);
    expectText("# thirdp: ...", {278, 91}, colour::yellow);

    state.scannedLiveries = 812;
    state.simaddonAirports = 3;
    state.thirdpartyAirports = 1;
    paint();
    expectText("# liveries: 812", {5, 91}, colour::limeGreen);
    expectText("# simaddon: 3", {141, 91}, colour::limeGreen);
    expectText("# thirdp: 1", {278, 91}, colour::limeGreen);
}

// The catalogue is built once per process: a restart skips building it, and
// the window, reset for the new run, still counts its liveries.
TEST_F(StatusPanelTest, AfterARestartTheLiveriesOfTheCatalogueBuiltBeforeAreStillCounted) {
    sim::StandInSimulator simulator{sim::StandInConfig{}};
    test::RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    ProgramParts parts{simulator, window, mainWindow};
    parts.status.showCount(StatusCount::scannedLiveries, 812);  // as the first run's build shows it
    parts.liveryTables.catalogueBuilt = true;
    parts.windowState.reset();  // the reset before the next run
    processScannedLiveries(parts);
    canvas.clear();
    lf_paintWindow(canvas, parts.windowState, parts.engineState.parking.update, parts.mainWindow);
    expectText("# liveries: 812", {5, 91}, colour::limeGreen);
}

TEST_F(StatusPanelTest, AParkAirportNotLoadedShowsOnlyItsLineInYellow) {
    state.setText(WindowText::parkAirportLine, "EHAM Amsterdam");
    state.parkAirportStands = 120;
    state.maxParked = 50;
    paint();
    EXPECT_EQ(textsBelow(392), std::vector<std::string>{"EHAM Amsterdam"});
    expectText("EHAM Amsterdam", {5, kStatsTop}, colour::yellow);

    state.setText(WindowText::parkAirportLine, "");
    paint();
    EXPECT_TRUE(textsBelow(392).empty());
}

TEST_F(StatusPanelTest, TheParkingStatisticsOfALoadedParkAirport) {
    loadedParkAirport();
    state.setText(WindowText::parkAirport, "Schiphol");
    state.setText(WindowText::airportFile, "maker");
    state.setText(WindowText::quality, "81/64");
    state.setText(WindowText::reservedStand, "D7");
    state.parkFileHandmade = true;
    state.parkTrafficWeek = 32;
    state.softFit = true;
    state.parkedLiveCount = 4;
    state.meanLiveParkedHours = 2.5F;
    state.maxParked = 50;
    state.maxParkSharePercent = 40;
    state.staticParkedCount = 31;
    state.candidateCount = 6;
    state.meanStaticParkedHours = 3.0F;
    paint();
    expectText("EHAM Amsterdam", {5, kStatsTop}, colour::limeGreen);
    expectText(" Schiphol, maker (h), wk=32", {90, kStatsTop}, colour::limeGreen);
    expectText("*S*", {370, kStatsTop}, colour::limeGreen);
    expectText("qf: 81/64", {430, kStatsTop}, colour::limeGreen);
    expectText("reserved stand: D7", {571, kStatsTop}, colour::red);
    expectText("parked live:   4", {111, kStatsSecond}, colour::limeGreen);
    expectText("average fit: 2.5", {249, kStatsSecond}, colour::limeGreen);
    expectText("static:  31", {430, kStatsSecond}, colour::limeGreen);
    expectText(" (6)", {500, kStatsSecond}, colour::yellow);
    expectText("average fit: 3", {571, kStatsSecond}, colour::limeGreen);
    expectText("max park:  50 (=40 %)", {708, kStatsSecond}, colour::limeGreen);

    // The week fit hides the static mean; both fits mark "*WS*".
    state.weekFit = true;
    state.reservedStandValid = true;
    state.meanLiveParkedHours = kNoMeanParkedTime;
    paint();
    expectText("*WS*", {370, kStatsTop}, colour::limeGreen);
    expectText("reserved stand: D7", {571, kStatsTop}, colour::limeGreen);
    expectText("static:  31", {430, kStatsSecond}, colour::limeGreen);
    EXPECT_EQ(textAt({571, kStatsSecond}), "");
    EXPECT_EQ(textAt({249, kStatsSecond}), "");

    // Without a maximum the static count is not shown.
    state.maxParked = 0;
    paint();
    expectText("no max park live", {708, kStatsSecond}, colour::limeGreen);
    EXPECT_EQ(textAt({430, kStatsSecond}), "");
    EXPECT_EQ(textAt({500, kStatsSecond}), "");
}

TEST_F(StatusPanelTest, LabelsTakeTheColourOfTheirSettingsState) {
    GUID_CHANGES.set(true);
    AEROWINX.set(false);
    AUTO_RANGE.set(true);
    MAX_PARK_SEL.set(100);
    MAX_LIVE_SEL.set(100);
    paint();
    expectText("GUID changes", {768, row(GUID_CHANGES)}, colour::black);
    expectText("Aerowinx", {672, row(AEROWINX)}, colour::black);
    expectText("Ah:", {430, row(AR_ABOVE_HEIGHT)}, colour::black);
    expectText("Max park (static+live):", {171, row(MAX_PARK_SEL)}, colour::black);
    expectText("Max live (park incl):", {401, row(MAX_LIVE_SEL)}, colour::black);
    expectText("Airport parking", {5, row(MAX_PARK_SEL)}, colour::black);

    GUID_CHANGES.set(false);
    AEROWINX.set(true);
    AUTO_RANGE.set(false);
    MAX_PARK_SEL.set(0);
    update.running = true;
    paint();
    expectText("GUID changes", {768, row(GUID_CHANGES)}, colour::yellow);
    expectText("Aerowinx", {672, row(AEROWINX)}, colour::yellow);
    expectText("Ah:", {430, row(AR_ABOVE_HEIGHT)}, colour::grey);
    expectText("Max park (static+live):", {171, row(MAX_PARK_SEL)}, colour::yellow);
    expectText("Max live (park incl):", {401, row(MAX_LIVE_SEL)}, colour::black);
    expectText("Airport parking", {5, row(MAX_PARK_SEL)}, colour::yellow);

    MAX_LIVE_SEL.set(0);
    paint();
    expectText("Max park (static+live):", {171, row(MAX_PARK_SEL)}, colour::red);
    expectText("Max live (park incl):", {401, row(MAX_LIVE_SEL)}, colour::red);
}

TEST_F(StatusPanelTest, LabelsOfDisabledOrUnselectedControlsFollowTheControls) {
    const ui::ControlHandle light = bound.checkBox(LIGHT_AIRCRAFT);
    const ui::ControlHandle choice = bound.bind(CALLSIGN_2_OBJECTID, ui::ControlKind::ComboBox);
    state.setText(WindowText::followedAircraft, "= 1234");
    paint();
    expectText("Light aircraft", {343, row(LIGHT_AIRCRAFT)}, colour::black);
    EXPECT_FALSE(drawn("= 1234")) << "no callsign selected";

    bound.controls().setEnabled(light, false);
    bound.controls().addString(choice, "KLM123");
    bound.controls().setCurrentSelection(choice, 0);
    paint();
    expectText("Light aircraft", {343, row(LIGHT_AIRCRAFT)}, colour::grey);
    expectText("= 1234", {476, row(CALLSIGN_2_OBJECTID)}, colour::black);
}

TEST_F(StatusPanelTest, TheCountdownShowsOnlyWhileStaticParkingWaitsForItsNextUpdate) {
    const ui::Point at{5, row(AIRP_RANGE)};
    INITIAL_LOAD_ONLY.set(false);
    state.staticParkingCountdown = 7;
    paint();
    EXPECT_EQ(textAt(at), "") << "no park airport";

    loadedParkAirport();
    paint();
    expectText("(next in 7 min)", at, colour::black);

    state.staticParkingCountdown = 20;
    paint();
    EXPECT_EQ(textAt(at), "") << "a full period is not counted down";

    INITIAL_LOAD_ONLY.set(true);
    paint();
    expectText("(no next ... )", at, colour::black);
    expectText("ILO", {25, row(INITIAL_LOAD_ONLY)}, colour::yellow);

    update.running = true;
    paint();
    EXPECT_EQ(textAt(at), "") << "an update runs";
}

TEST_F(StatusPanelTest, PackedAirportsAskTheUserToMailTbloZipToOurSupport) {
    const ui::Point at{303, row(SCAN_AIRPORTS)};
    paint();
    EXPECT_EQ(textAt(at), "");

    state.unrecognisedAirports = 3;
    paint();
    const std::string hint = textAt(at);
    EXPECT_NE(hint.find("tblo.zip"), std::string::npos) << hint;
    EXPECT_NE(hint.find("support@quorvelant.example"), std::string::npos) << hint;
    expectText(hint, at, colour::yellow);
}

TEST_F(StatusPanelTest, ThePanelTakesTheCurrentValuesOfTheirOwners) {
    SimLinkState link;
    UserAircraftState user;
    test::FakeStatus status;
    FeedState feed{status, {.realTrafficGone = [] {}}};
    CurrentParkAirportState parkAirport;
    LoadedParkAirport loadedPark{status};
    link.status.setConnected(true);
    link.status.setRunning(true);
    link.status.setConnectionText("MSFS 2020 (11.0.1)");
    user.setTitle("Airbus A320 Test Air");
    feed.trafficLamp = ReaderLamp::stale;
    feed.displayedQnh = 998;
    feed.realTrafficDisplay = true;  // a traffic client is connected
    parkAirport.setStandsLoaded(true);
    loadedPark.stats.setPublisher("maker", true);

    takePanelValues({.link = link, .user = user, .feed = feed, .parkAirport = parkAirport, .loadedPark = loadedPark},
                    state);
    EXPECT_TRUE(state.simConnected.load());
    EXPECT_TRUE(state.simRunning.load());
    EXPECT_EQ(state.text(WindowText::simulator), "MSFS 2020 (11.0.1)");
    EXPECT_EQ(state.text(WindowText::userAircraft), "Airbus A320 Test Air");
    EXPECT_EQ(state.trafficLamp.load(), LampState::noDatagram);
    EXPECT_EQ(state.qnh.load(), 998);
    EXPECT_TRUE(state.realTrafficReady.load());
    EXPECT_TRUE(state.parkAirportLoaded.load());
    EXPECT_TRUE(state.parkFileHandmade.load());
    EXPECT_EQ(state.text(WindowText::airportFile), "maker");
}

// The program's own parts: its engine, window state and flags.
class LiveCountTest : public ::testing::Test {
protected:
    void addAircraft(std::uint32_t hexId, SimStatus status, GroundPhase phase) {
        LiveAc ac;
        ac.flight.hexId = hexId;
        ac.status = status;
        ac.phase = phase;
        parts.engineState.liveAircraft.push_back(ac);
    }
    std::vector<WindowRegion> refresh() {
        window.repainted.clear();
        parts.liveCount.lf_refreshLiveCount();
        return window.repainted;
    }

    sim::StandInSimulator simulator{sim::StandInConfig{}};
    test::RecordingWindow window;
    ui::HeadlessWindow mainWindow;
    ProgramParts parts{simulator, window, mainWindow};
};

bool has(const std::vector<WindowRegion>& regions, WindowRegion region) {
    return std::find(regions.begin(), regions.end(), region) != regions.end();
}

TEST_F(LiveCountTest, CountsActiveUnparkedAircraftAndRepaintsOnlyOnAChange) {
    addAircraft(0x100001, SimStatus::active, GroundPhase::flying);
    addAircraft(0x100002, SimStatus::active, GroundPhase::taxi);
    addAircraft(0x100003, SimStatus::active, GroundPhase::parked);
    addAircraft(0x100004, SimStatus::buffer, GroundPhase::flying);
    const std::vector<WindowRegion> first = refresh();
    EXPECT_EQ(parts.windowState.activeLiveCount.load(), 2U);
    EXPECT_EQ(parts.windowState.parkedLiveCount.load(), 1U);
    EXPECT_EQ(parts.windowState.staticParkedCount.load(), 0U);
    EXPECT_TRUE(has(first, WindowRegion::statusPanel));
    EXPECT_TRUE(has(first, WindowRegion::parkingStats));

    EXPECT_TRUE(refresh().empty()) << "nothing changed, nothing to paint";

    parts.engineState.liveAircraft[0].phase = GroundPhase::parked;
    const std::vector<WindowRegion> parked = refresh();
    EXPECT_EQ(parts.windowState.activeLiveCount.load(), 1U);
    EXPECT_EQ(parts.windowState.parkedLiveCount.load(), 2U);
    EXPECT_TRUE(has(parked, WindowRegion::statusPanel));
    EXPECT_TRUE(has(parked, WindowRegion::parkingStats));
}

}  // namespace
}  // namespace qvl
