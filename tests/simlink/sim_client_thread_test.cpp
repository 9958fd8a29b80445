#include <functional>
#include <stdexcept>

#include "simlink/sim_ids.h"
#include "support/sim_link_fixture.h"

namespace qvl {
namespace {

using namespace std::chrono_literals;

// The thread body on the test thread; its waits move the stand-in's clock.
class ClientThread : public test::SimLinkTest {
protected:
    // Runs the body until it returns, asking it to stop after `dispatches`
    // dispatch rounds; `each` runs after every round (1-based).
    void runClient(int dispatches, std::function<void(int)> each = {}) {
        if (!sim) startSim();
        rounds = 0;
        std::stop_source stop;
        SimClientTiming timing;
        timing.sleep = [&](std::chrono::milliseconds d) {
            clock->advance(d);
            if (d == 100ms) {
                if (++openWaits > 1000) stop.request_stop();
                return;
            }
            ++rounds;
            runningSeen = runningSeen || link.simRunning.load();
            if (each) each(rounds);
            if (rounds >= dispatches) stop.request_stop();
        };
        lf_simClientThread(stop.get_token(), link, run, *sim, timing);
    }

    int openWaits = 0;
    int rounds = 0;
    bool runningSeen = false;
};

TEST_F(ClientThread, RetriesTheOpenThenRegistersAndDispatches) {
    config.openFailures = 3;
    rec.user = {.latitude = 50.0, .longitude = 8.5, .onGround = true};
    rec.standName = "B22";
    runClient(5);
    EXPECT_EQ(rec.reservedStands, std::vector<std::string>{"B22"});  // kept on the way out
    EXPECT_EQ(openWaits, 3);
    const std::string all = log();
    EXPECT_EQ(all.find("Waiting for MSFS 2020 ...\n"), all.rfind("Waiting for MSFS 2020 ...\n"));  // once
    EXPECT_TRUE(runningSeen);
    EXPECT_EQ(calls("SetNotificationGroupPriority").size(), 1u);
    EXPECT_FALSE(run.isClosing());
    EXPECT_TRUE(logHas("SimConnect closed ok\n"));
    expectCleanExit();
}

TEST_F(ClientThread, AnUnknownSimulatorIsShownAndTheOtherOneSwitchesTheChoice) {
    config.simulatorName = "Other Sim";
    runClient(5);
    EXPECT_EQ(messageLines().error, "77: 'Other Sim' not being MSFS 2020 or MSFS 2024 connects ... ?");
    EXPECT_EQ(run.restartReason.load(), RestartReason::notYetSet);  // the run waits
    expectCleanExit();

    resetMessages();  // the user saw the error
    sim->setSimulatorName("SunRise");
    runClient(5);
    EXPECT_TRUE(logHas("MSFS and Quorvelant do not match, restarting ...\n"));
    // The program's switch of simulators, once, to the one that answered.
    EXPECT_EQ(rec.switchedTo, std::vector<SimVersion>{SimVersion::msfs2024});
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2024");
    expectCleanExit();

    // The next run, on the newer simulator, connects.
    run.reset();
    link.reset();
    link.simVersion.store(chosenSimVersion());
    runClient(1);
    EXPECT_TRUE(logHas("Waiting for MSFS 2024 ...\n"));
    EXPECT_EQ(link.status.snapshot().connectionText, "MSFS 2024 (11.0.282174.999)");
}

// Only the simulator's own answer switches the choice; an error that merely
// carries the same code is shown like any other user error.
TEST_F(ClientThread, AUserErrorWithTheMismatchCodeIsNotAWrongSimulator) {
    auto hooks = test::recordingHooks(rec);
    hooks.onSimObjectData = [](const SimObjectDataReply&) { throw UserErrorException(kWrongSimulatorCode, "late"); };
    link.hooks.publish(hooks);
    runClient(50, [&](int round) {
        if (round == 2) {
            link.withConnection([](sim::SimConnection& connection) {
                connection.requestDataOnSimObject(reqUserTitle, defUserTitle, sim::kUserObject, sim::Period::once);
            });
        }
    });
    EXPECT_EQ(messageLines().error, "2024: late");
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2020");
    EXPECT_TRUE(rec.switchedTo.empty());
    EXPECT_EQ(run.restartReason.load(), RestartReason::notYetSet);
    expectCleanExit();
}

// However the connection dies, the run ends as SIM WAS CLOSED and nothing stays running.
TEST_F(ClientThread, QuitFailedDispatchOrHandlerExceptionEndsTheRun) {
    const auto requestData = [&] {
        link.withConnection([](sim::SimConnection& connection) {
            connection.requestDataOnSimObject(reqUserTitle, defUserTitle, sim::kUserObject, sim::Period::once);
        });
    };
    struct Death {
        std::function<void()> kill{};
        std::string thrown{};  // by the data handler; empty: a non-standard exception
        std::string error{};   // the error line afterwards
    };
    const Death deaths[] = {{.kill = [&] { sim->quit(); }},
                            {.kill = [&] { sim->failCalls("CallDispatch", 1); }},
                            {.kill = requestData, .thrown = "model table broken", .error = "model table broken"},
                            {.kill = requestData, .error = "Exception in SimClient"}};
    for (const Death& death : deaths) {
        run.reset();
        resetMessages();
        sim.reset();
        auto hooks = test::recordingHooks(rec);
        hooks.onSimObjectData = [thrown = death.thrown](const SimObjectDataReply&) {
            if (!thrown.empty()) throw std::runtime_error(thrown);
            throw 42;
        };
        link.hooks.publish(hooks);
        runClient(50, [&](int round) {
            if (round == 2) death.kill();
        });
        EXPECT_EQ(messageLines().error, death.error);
        EXPECT_EQ(run.restartReason.load(), RestartReason::simWasClosed);
        EXPECT_EQ(run.restartDelay.load(), 0);
        EXPECT_LE(rounds, 3);  // the dead connection ended the thread, no stop was needed
        expectCleanExit();
    }
    EXPECT_TRUE(logHas("Flight Simulator no longer connected, Quorvelant will stop ...\n"));
    EXPECT_TRUE(logHas("SimConnect dispatch failed, the simulator has gone\n"));
}

}  // namespace
}  // namespace qvl
