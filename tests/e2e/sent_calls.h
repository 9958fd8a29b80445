// What the program sent to the simulator, timed by the program's own clock.
//
// The stand-in's trace stamps each call with the stand-in's frame, and the
// stand-in takes its time where the machine makes it wait (writing its trace
// file, catching up its frames): that wait showed as a gap in the program's
// positions although the program had lost no time. Here every call goes
// through a connection of our own that forwards it to the stand-in and notes
// when the caller made it and how long the calling thread has so far spent
// inside the simulator (in its calls, less the program's own dispatch
// callback, which runs inside the dispatch call). The time between two sends
// less the simulator's share of it is the program's own.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/sim/sim_api.h"

namespace qvl::test {

using SteadyClock = std::chrono::steady_clock;

// One call of the program.
struct SentCall {
    SteadyClock::time_point at{};
    // The calling thread's time inside the simulator before this call.
    SteadyClock::duration insideSimulator{};
    std::thread::id thread{};
};

// The program's time between two calls: the time between them less what
// the simulator took of it (calls of two threads: all of it).
SteadyClock::duration ownTimeBetween(const SentCall& earlier, const SentCall& later);

class SentCalls final : public sim::SimLibrary {
public:
    SentCalls(sim::SimLibrary& simulator, sim::DefinitionId positionDefinition);
    ~SentCalls() override;
    SentCalls(const SentCalls&) = delete;
    SentCalls& operator=(const SentCalls&) = delete;

    sim::HResult open(sim::SimConnection** connection, std::string_view applicationName,
                      std::uint32_t configIndex) override;

    // The positions sent for one object, in order.
    [[nodiscard]] std::vector<SentCall> positions(sim::ObjectId object) const;
    // The first removal asked for the object.
    [[nodiscard]] std::optional<SentCall> removal(sim::ObjectId object) const;

    // --- For the forwarding connections ---
    // The calling thread enters or leaves the simulator's code; `enter`
    // returns the call as it starts.
    SentCall enter();
    void leave();
    void notePosition(sim::ObjectId object, const SentCall& call);
    void noteRemoval(sim::ObjectId object, const SentCall& call);
    [[nodiscard]] sim::DefinitionId positionDefinition() const { return positionDefinition_; }

private:
    struct ThreadTime {
        SteadyClock::duration inside{};
        SteadyClock::time_point enteredAt{};
        int depth = 0;
    };

    sim::SimLibrary& simulator_;
    const sim::DefinitionId positionDefinition_;
    mutable std::mutex mutex_;  // guards everything below; a leaf lock
    std::map<std::thread::id, ThreadTime> threads_;
    std::map<sim::ObjectId, std::vector<SentCall>> positions_;
    std::map<sim::ObjectId, SentCall> removals_;
    std::vector<std::unique_ptr<sim::SimConnection>> connections_;
};

}  // namespace qvl::test
