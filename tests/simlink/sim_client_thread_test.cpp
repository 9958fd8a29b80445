#include <functional>
#include <stdexcept>

#include "simlink/sim_ids.h"
#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;

// The thread body runs on the test thread; its waits move the stand-in's
// clock instead of the wall clock.
class ClientThread : public test::SimLinkTest {
protected:
    // Runs the body until it returns; after `dispatches` dispatch rounds it
    // is asked to stop. `each` runs after every dispatch round (1-based).
    void run(int dispatches, std::function<void(int)> each = {}) {
        if (!sim) startSim();
        std::stop_source stop;
        SimClientTiming timing;
        timing.sleep = [&](std::chrono::milliseconds d) {
            clock->advance(d);
            if (d == 100ms) {
                if (++openWaits > 1000) stop.request_stop();
                return;
            }
            ++rounds;
            runningSeen = runningSeen || simRunning.load();
            if (each) each(rounds);
            if (rounds >= dispatches) stop.request_stop();
        };
        lf_simClientThread(stop.get_token(), *sim, timing);
    }
    void expectCleanExit() {
        EXPECT_FALSE(simRunning.load());
        EXPECT_FALSE(gf_simConnectedLamp());
        EXPECT_FALSE(gf_simRunningLamp());
        EXPECT_EQ(simHandle.load(), nullptr);
        EXPECT_EQ(sim->openConnectionCount(), 0u);
    }

    int openWaits = 0;
    int rounds = 0;
    bool runningSeen = false;
};

TEST_F(ClientThread, RetriesTheOpenThenRegistersAndDispatches) {
    config.openFailures = 3;
    rec.ground = UserGroundState{{50.0, 8.5}, 0.0};
    rec.standName = "B22";
    startSim();
    run(5);
    EXPECT_EQ(rec.reservedStands, std::vector<std::string>{"B22"});  // kept on the way out
    EXPECT_EQ(openWaits, 3);
    const std::string all = log();
    EXPECT_EQ(all.find("Waiting for MSFS 2020 ...\n"), all.rfind("Waiting for MSFS 2020 ...\n"));  // once
    EXPECT_EQ(gf_messageLines().message, "");  // the connection cleared it
    EXPECT_EQ(gf_simConnectionText(), "MSFS 2020 (11.0.282174.999)");
    EXPECT_TRUE(runningSeen);
    EXPECT_EQ(traceWith("SetNotificationGroupPriority").size(), 1u);
    EXPECT_EQ(rounds, 5);
    EXPECT_FALSE(gf_isClosing());
    EXPECT_TRUE(logHas("SimConnect closed ok\n"));
    expectCleanExit();
}

TEST_F(ClientThread, ClosingBeforeAConnectionLeavesAtOnce) {
    startSim();
    gf_endRun(RestartReason::userClosedSim, 0);
    run(5);
    EXPECT_TRUE(traceWith("Open").empty());
    EXPECT_EQ(rounds, 0);
    EXPECT_FALSE(logHas("Waiting"));
}

TEST_F(ClientThread, TheOtherSimulatorSwitchesTheChoiceAndRestarts) {
    config.simulatorName = "SunRise";
    run(5);
    EXPECT_TRUE(logHas("MSFS and Quorvelant do not match, restarting ...\n"));
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2024");
    ASSERT_EQ(rec.savedSettings.size(), 1u);
    EXPECT_EQ(rec.savedSettings[0].first, "SIM_CHOICE");
    EXPECT_EQ(restartReason.load(), RestartReason::newSettings);
    EXPECT_EQ(restartDelay.load(), 3);
    EXPECT_EQ(gf_messageLines().message, "Switching MSFS version in Quorvelant");
    EXPECT_EQ(rounds, 0);  // the first dispatch ended the thread
    expectCleanExit();

    // The next run, on the newer simulator, connects.
    gf_resetRunFlags();
    gf_applySimChoice();
    rounds = 0;
    run(1);
    EXPECT_TRUE(logHas("Waiting for MSFS 2024 ...\n"));
    EXPECT_EQ(gf_simConnectionText(), "MSFS 2024 (11.0.282174.999)");
}

TEST_F(ClientThread, AnUnknownSimulatorIsShownAndTheRunWaits) {
    config.simulatorName = "Other Sim";
    run(5);
    EXPECT_EQ(gf_messageLines().error, "77: 'Other Sim' not being MSFS 2020 or MSFS 2024 connects ... ?");
    EXPECT_FALSE(gf_isClosing());
    EXPECT_EQ(restartReason.load(), RestartReason::notYetSet);
    expectCleanExit();
}

TEST_F(ClientThread, QuitOrAFailingDispatchEndsTheRun) {
    for (const bool quit : {true, false}) {
        gf_resetRunFlags();
        sim.reset();
        rounds = 0;
        run(50, [&](int round) {
            if (round != 2) return;
            if (quit) sim->quit();
            else sim->failCalls("CallDispatch", 1);
        });
        EXPECT_EQ(restartReason.load(), RestartReason::simWasClosed);
        EXPECT_EQ(restartDelay.load(), 0);
        EXPECT_LT(rounds, 50);  // the dead connection ended the thread, no stop was needed
        expectCleanExit();
    }
    EXPECT_TRUE(logHas("Flight Simulator no longer connected, Quorvelant will stop ...\n"));
    EXPECT_TRUE(logHas("SimConnect dispatch failed, the simulator has gone\n"));
}

TEST_F(ClientThread, NewFlightInTheSimulatorEndsTheRun) {
    run(5, [&](int round) {
        if (round == 2) sim->loadFlight("EDDF gate.FLT");
    });
    EXPECT_TRUE(logHas("SimConnect: flight loaded event\n"));
    EXPECT_EQ(restartReason.load(), RestartReason::newFlight);
    EXPECT_EQ(restartDelay.load(), 45);
    EXPECT_EQ(rounds, 5);  // the run's closing down asks the thread to stop
}

TEST_F(ClientThread, ExceptionOfAReplyHandlerEndsTheRun) {
    for (const bool standard : {true, false}) {
        gf_resetRunFlags();
        gf_resetMessages();
        auto hooks = test::recordingHooks(rec);
        hooks.onSimObjectData = [standard](const SimObjectDataReply&) {
            if (standard) throw std::runtime_error("model table broken");
            throw 42;
        };
        gf_setSimLinkHooks(hooks);
        rounds = 0;
        run(50, [&](int round) {
            if (round != 2) return;
            std::lock_guard lock(simQueueMutex());
            simHandle.load()->requestDataOnSimObject(reqUserTitle, defUserTitle, sim::kUserObject, sim::Period::once);
        });
        EXPECT_EQ(gf_messageLines().error, standard ? "model table broken" : "Exception in SimClient");
        EXPECT_EQ(restartReason.load(), RestartReason::simWasClosed);
        EXPECT_EQ(rounds, 2);
        expectCleanExit();
    }
}

}  // namespace
}  // namespace qvl
