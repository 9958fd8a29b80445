#include "sent_calls.h"

#include <filesystem>

namespace qvl::test {
namespace {

// The calling thread is inside the simulator while it lives.
class Inside {
public:
    explicit Inside(SentCalls& calls) : calls_(calls), call_(calls.enter()) {}
    ~Inside() { calls_.leave(); }
    Inside(const Inside&) = delete;
    Inside& operator=(const Inside&) = delete;
    [[nodiscard]] const SentCall& call() const { return call_; }

private:
    SentCalls& calls_;
    SentCall call_;
};

// The program's callback, and the time it takes out of the dispatch call.
struct DispatchFrame {
    SentCalls& calls;
    sim::DispatchProc proc;
    void* context;
};

void dispatchTrampoline(const sim::RecvHeader* message, std::uint32_t size, void* context) {
    auto* frame = static_cast<DispatchFrame*>(context);
    frame->calls.leave();
    frame->proc(message, size, frame->context);
    (void)frame->calls.enter();
}

class ForwardingConnection final : public sim::SimConnection {
public:
    ForwardingConnection(SentCalls& calls, sim::SimConnection& simulator) : calls_(calls), sim_(simulator) {}

    sim::HResult close() override {
        const Inside inside(calls_);
        return sim_.close();
    }
    sim::HResult callDispatch(sim::DispatchProc proc, void* context) override {
        const Inside inside(calls_);
        DispatchFrame frame{.calls = calls_, .proc = proc, .context = context};
        return sim_.callDispatch(dispatchTrampoline, &frame);
    }
    sim::HResult addToDataDefinition(sim::DefinitionId definition, std::string_view datumName,
                                     std::string_view unitsName, sim::DataType type, float epsilon,
                                     std::uint32_t datumId) override {
        const Inside inside(calls_);
        return sim_.addToDataDefinition(definition, datumName, unitsName, type, epsilon, datumId);
    }
    sim::HResult requestDataOnSimObject(sim::RequestId request, sim::DefinitionId definition, sim::ObjectId object,
                                        sim::Period period) override {
        const Inside inside(calls_);
        return sim_.requestDataOnSimObject(request, definition, object, period);
    }
    sim::HResult requestDataOnSimObjectType(sim::RequestId request, sim::DefinitionId definition,
                                            std::uint32_t radiusMetres, std::uint32_t objectType) override {
        const Inside inside(calls_);
        return sim_.requestDataOnSimObjectType(request, definition, radiusMetres, objectType);
    }
    sim::HResult setDataOnSimObject(sim::DefinitionId definition, sim::ObjectId object, std::uint32_t flags,
                                    std::uint32_t arrayCount, std::uint32_t unitSize, const void* data) override {
        const Inside inside(calls_);
        if (definition == calls_.positionDefinition()) calls_.notePosition(object, inside.call());
        return sim_.setDataOnSimObject(definition, object, flags, arrayCount, unitSize, data);
    }
    sim::HResult subscribeToSystemEvent(sim::ClientEventId event, std::string_view systemEventName) override {
        const Inside inside(calls_);
        return sim_.subscribeToSystemEvent(event, systemEventName);
    }
    sim::HResult mapClientEventToSimEvent(sim::ClientEventId event, std::string_view simEventName) override {
        const Inside inside(calls_);
        return sim_.mapClientEventToSimEvent(event, simEventName);
    }
    sim::HResult addClientEventToNotificationGroup(sim::GroupId group, sim::ClientEventId event,
                                                   bool maskable) override {
        const Inside inside(calls_);
        return sim_.addClientEventToNotificationGroup(group, event, maskable);
    }
    sim::HResult setNotificationGroupPriority(sim::GroupId group, std::uint32_t priority) override {
        const Inside inside(calls_);
        return sim_.setNotificationGroupPriority(group, priority);
    }
    sim::HResult transmitClientEvent(sim::ObjectId object, sim::ClientEventId event, std::uint32_t data,
                                     sim::GroupId group, std::uint32_t flags) override {
        const Inside inside(calls_);
        return sim_.transmitClientEvent(object, event, data, group, flags);
    }
    sim::HResult aiCreateNonAtcAircraft(std::string_view containerTitle, std::string_view tailNumber,
                                        const sim::InitPosition& position, sim::RequestId request) override {
        const Inside inside(calls_);
        return sim_.aiCreateNonAtcAircraft(containerTitle, tailNumber, position, request);
    }
    sim::HResult aiRemoveObject(sim::ObjectId object, sim::RequestId request) override {
        const Inside inside(calls_);
        calls_.noteRemoval(object, inside.call());
        return sim_.aiRemoveObject(object, request);
    }
    sim::HResult aiReleaseControl(sim::ObjectId object, sim::RequestId request) override {
        const Inside inside(calls_);
        return sim_.aiReleaseControl(object, request);
    }
    sim::HResult aiSetAircraftFlightPlan(sim::ObjectId object, const std::filesystem::path& flightPlanPath,
                                         sim::RequestId request) override {
        const Inside inside(calls_);
        return sim_.aiSetAircraftFlightPlan(object, flightPlanPath, request);
    }
    sim::HResult getLastSentPacketId(std::uint32_t* packetId) override {
        const Inside inside(calls_);
        return sim_.getLastSentPacketId(packetId);
    }
    sim::HResult addToFacilityDefinition(sim::DefinitionId definition, std::string_view fieldName) override {
        const Inside inside(calls_);
        return sim_.addToFacilityDefinition(definition, fieldName);
    }
    sim::HResult requestFacilityData(sim::DefinitionId definition, sim::RequestId request, std::string_view icao,
                                     std::string_view region) override {
        const Inside inside(calls_);
        return sim_.requestFacilityData(definition, request, icao, region);
    }

private:
    SentCalls& calls_;
    sim::SimConnection& sim_;
};

}  // namespace

SteadyClock::duration ownTimeBetween(const SentCall& earlier, const SentCall& later) {
    // Each thread keeps its own account of the simulator's time; calls of
    // two threads are judged by the clock alone.
    if (earlier.thread != later.thread) return later.at - earlier.at;
    return (later.at - earlier.at) - (later.insideSimulator - earlier.insideSimulator);
}

SentCalls::SentCalls(sim::SimLibrary& simulator, sim::DefinitionId positionDefinition)
    : simulator_(simulator), positionDefinition_(positionDefinition) {}

SentCalls::~SentCalls() = default;

sim::HResult SentCalls::open(sim::SimConnection** connection, std::string_view applicationName,
                             std::uint32_t configIndex) {
    sim::SimConnection* opened = nullptr;
    sim::HResult hr = sim::kFail;
    {
        const Inside inside(*this);
        hr = simulator_.open(&opened, applicationName, configIndex);
    }
    if (connection == nullptr) return hr;
    *connection = nullptr;
    if (sim::failed(hr) || opened == nullptr) return hr;
    const std::lock_guard lock(mutex_);
    connections_.push_back(std::make_unique<ForwardingConnection>(*this, *opened));
    *connection = connections_.back().get();
    return hr;
}

SentCall SentCalls::enter() {
    const auto now = SteadyClock::now();
    const std::lock_guard lock(mutex_);
    ThreadTime& t = threads_[std::this_thread::get_id()];
    if (t.depth++ == 0) t.enteredAt = now;
    return {.at = now, .insideSimulator = t.inside, .thread = std::this_thread::get_id()};
}

void SentCalls::leave() {
    const auto now = SteadyClock::now();
    const std::lock_guard lock(mutex_);
    ThreadTime& t = threads_[std::this_thread::get_id()];
    if (--t.depth == 0) t.inside += now - t.enteredAt;
}

void SentCalls::notePosition(sim::ObjectId object, const SentCall& call) {
    const std::lock_guard lock(mutex_);
    positions_[object].push_back(call);
}

void SentCalls::noteRemoval(sim::ObjectId object, const SentCall& call) {
    const std::lock_guard lock(mutex_);
    removals_.try_emplace(object, call);
}

std::vector<SentCall> SentCalls::positions(sim::ObjectId object) const {
    const std::lock_guard lock(mutex_);
    const auto it = positions_.find(object);
    return it == positions_.end() ? std::vector<SentCall>{} : it->second;
}

std::optional<SentCall> SentCalls::removal(sim::ObjectId object) const {
    const std::lock_guard lock(mutex_);
    const auto it = removals_.find(object);
    if (it == removals_.end()) return std::nullopt;
    return it->second;
}

}  // namespace qvl::test
