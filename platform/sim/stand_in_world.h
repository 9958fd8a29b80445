// Inside the stand-in simulator: the world's state and the helpers that the
// stand-in's source files share. Every function here expects the caller to
// hold the stand-in's mutex.
#pragma once

#include <fmt/format.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/stand_in.h"

namespace qvl::sim {

class StandInConnection;

using Message = std::vector<std::byte>;

struct DataMember {
    std::string name;  // upper case
    std::string unit;  // lower case
    DataType type = DataType::float64;
    int datum = 0;  // resolved from the name once, see datumIndex
};

struct PeriodicRequest {
    RequestId request = 0;
    DefinitionId definition = 0;
    ObjectId object = 0;  // resolved: never 0
};

struct ConnectionState {
    std::unique_ptr<StandInConnection> handle;
    std::string name;
    bool open = true;
    bool quitDelivered = false;
    std::deque<Message> outbox;
    bool framePending = false;  // one undelivered frame event at most
    std::map<DefinitionId, std::vector<DataMember>> definitions;
    std::map<ClientEventId, std::string> clientEvents;               // mapped simulator event names
    std::map<std::string, ClientEventId, std::less<>> systemEvents;  // by lower-case name
    std::vector<PeriodicRequest> perSecond;
    std::vector<PeriodicRequest> perFrame;
    std::map<DefinitionId, std::vector<std::string>> facilityDefinitions;
    std::uint32_t lastPacket = 0;
    // The packet of the call being answered: what its exceptions name.
    std::uint32_t answering = 0;
    std::uint32_t nextFacilityItem = 1;
};

struct ObjectState : ObjectSnapshot {
    int creator = -1;  // index of the creating connection
};

struct PendingCreation {
    std::size_t connection = 0;
    RequestId request = 0;
    std::string title;
    std::string tail;
    InitPosition position{};
    int framesLeft = 0;
};

// A call sent while the stand-in runs on its own thread, answered there.
struct QueuedCall {
    std::size_t connection = 0;
    std::uint32_t packet = 0;
    std::function<HResult(StandInSimulator::World&, ConnectionState&)> body;
};

struct StandInSimulator::World {
    StandInConfig config;
    std::shared_ptr<const SimClock> clock;
    bool present = true;  // false after quit until restart
    std::uint64_t frames = 0;
    std::map<ObjectId, ObjectState> objects;
    ObjectId nextAiId = 100;
    std::vector<PendingCreation> creations;
    std::vector<ObjectId> removals;  // leave the world at the next frame
    std::vector<std::unique_ptr<ConnectionState>> connections;
    std::map<std::string, int, std::less<>> failingCalls;
    int refuseNext = 0;
    bool traceInMemory = false;
    std::vector<std::string> trace;
    // Opened and closed under both the file lock and the world's; written
    // under the world's alone while the stand-in has no thread, and under the
    // file lock alone by its thread.
    std::ofstream traceFile;
    bool traceFileOpen = false;
    bool traceFlushWanted = false;               // a close wants its trace on disk
    std::string traceWaiting;                    // lines for the file, not yet written
    std::chrono::nanoseconds traceWrittenAt{0};  // by the world's clock

    // On its own thread (see runOnOwnThread).
    bool ownThread = false;
    std::vector<QueuedCall> inbox;
    std::uint64_t settleAsked = 0;  // rounds asked for by settle()
    std::uint64_t settleDone = 0;   // the last of them that the thread finished
    bool threadEnded = false;       // the thread has answered its last calls

    bool tracing() const { return traceInMemory || traceFileOpen; }
};

using World = StandInSimulator::World;

// --- Trace ---
void traceLine(World& world, std::string line);
// Writes the waiting lines to the trace file.
void writeTrace(World& world);
// The same, once the last write is a while back by the world's clock.
void writeTraceWhenDue(World& world);
// Formats a line only while a trace is kept: the frame sender's calls come
// through here once per aircraft and frame.
template <class... Args>
void traceWorld(World& world, fmt::format_string<Args...> format, Args&&... args) {
    if (world.tracing()) traceLine(world, fmt::format(format, std::forward<Args>(args)...));
}

// --- Messages (stand_in_data.cpp) ---
// A reply made of a record; the header's size and id are filled in.
template <class Record>
Message recordMessage(Record record, RecvId id) {
    auto* header = reinterpret_cast<RecvHeader*>(&record);
    header->size = static_cast<std::uint32_t>(sizeof(Record));
    header->version = 1;
    header->id = id;
    Message message(sizeof(Record));
    std::memcpy(message.data(), &record, sizeof(Record));
    return message;
}
void appendBytes(Message& message, const void* bytes, std::size_t count);
// Writes the message's final size into its header.
void sealMessage(Message& message);

Message exceptionMessage(std::uint32_t code, std::uint32_t sendId, std::uint32_t index);
Message eventMessage(ClientEventId event, std::uint32_t data);
Message objectEventMessage(ClientEventId event, ObjectId object);

// True when the simulator knows the member name.
bool knownDatum(std::string_view upperName);
// What a known member name stands for, looked up once per member.
int datumIndex(std::string_view upperName);
// The definition's data block for one object; false when a member cannot be
// produced.
bool appendDataBlock(Message& message, const World& world, const ObjectState& object,
                     const std::vector<DataMember>& members);
// Applies one element of set data; false when the size does not match.
bool applyDataBlock(ObjectState& object, const std::vector<DataMember>& members, const std::byte* data,
                    std::size_t size);
std::size_t fixedBlockSize(const std::vector<DataMember>& members);

// --- Facility data (stand_in_facility.cpp) ---
bool knownFacilityField(std::string_view field);
// The items for one request: the airport, its parkings and helipads, then
// (unless the fault says otherwise) the end item.
std::vector<Message> facilityReplies(World& world, ConnectionState& connection,
                                     const std::vector<std::string>& definition, RequestId request,
                                     std::string_view icao);

// --- Text helpers ---
std::string upperCopy(std::string_view text);
std::string lowerCopy(std::string_view text);
// Airport codes compare without regard to case.
bool sameIcao(std::string_view a, std::string_view b);

}  // namespace qvl::sim
