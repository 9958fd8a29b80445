// The simulator's client interface as the program uses it: open a
// connection, declare data definitions, client events and system events, ask
// for data, set data, create and remove AI objects, ask for facility data,
// and fetch every reply through a dispatch callback.
//
// Every record, identifier and constant here is our own. Replies arrive as
// byte blocks that begin with a `RecvHeader`; the header's `size` and the
// size handed to the callback give the block's length, and a reader checks
// that length against the record it expects before it reads a field (see
// `readRecord`). Texts in fixed fields need not end in a zero byte (see
// `fixedText`).
//
// Threads: a connection may be called from several threads. The dispatch
// callback runs only inside `callDispatch`, on the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qvl::sim {

// Call results: 0 or more succeeds, a negative value fails.
using HResult = std::int32_t;
inline constexpr HResult kOk = 0;
inline constexpr HResult kFail = static_cast<HResult>(0x80004005u);
constexpr bool succeeded(HResult hr) noexcept { return hr >= 0; }
constexpr bool failed(HResult hr) noexcept { return hr < 0; }

using ObjectId = std::uint32_t;
using DefinitionId = std::uint32_t;
using RequestId = std::uint32_t;
using ClientEventId = std::uint32_t;
using GroupId = std::uint32_t;

// Object id 0 names the user's own aircraft in requests.
inline constexpr ObjectId kUserObject = 0;
// "No datum id" for a data-definition member.
inline constexpr std::uint32_t kUnusedId = 0xFFFFFFFFu;
// The highest notification-group priority.
inline constexpr std::uint32_t kGroupPriorityHighest = 1;
// Object type of aircraft in add/remove events and by-type requests.
inline constexpr std::uint32_t kObjectTypeAircraft = 2;

// Member types of a data definition; the numbers fix the wire layout.
enum class DataType : std::uint32_t {
    int64 = 2,     // 8 bytes
    float64 = 4,   // 8 bytes
    string32 = 6,  // 32 bytes, zero-padded; may fill the field without a zero
    stringV = 11,  // variable: the text and its zero byte, last in a block
};

// How often a request on one object is answered.
enum class Period : std::uint32_t { never = 0, once = 1, simFrame = 2, second = 3 };

// Reply ids: `RecvHeader::id`.
enum RecvId : std::uint32_t {
    recvException = 1,
    recvOpen = 2,
    recvQuit = 3,
    recvEvent = 4,
    recvEventObjectAddRemove = 5,
    recvEventFilename = 6,
    recvEventFrame = 7,
    recvSimObjectData = 8,
    recvSimObjectDataByType = 9,
    recvAssignedObjectId = 12,
    recvClientData = 16,  // data of a client data area; the program declares none
    recvEventEx1 = 27,    // an event with several data words; the program maps none
    recvFacilityData = 28,
    recvFacilityDataEnd = 29,
};

// Exception codes carried by `RecvException::exception`.
enum ExceptionCode : std::uint32_t {
    exceptionUnrecognizedId = 3,
    exceptionVersionMismatch = 5,
    exceptionNameUnrecognized = 7,
    exceptionTooManyObjects = 11,
    exceptionInvalidDataSize = 19,
    exceptionCreateObjectFailed = 22,
    exceptionLoadFlightPlanFailed = 23,
    exceptionOperationInvalidForObjectType = 24,
};

// Facility item types: `RecvFacilityData::type`.
enum FacilityItemType : std::uint32_t {
    facilityAirport = 0,
    facilityHelipad = 4,
    facilityTaxiParking = 15,
};

struct RecvHeader {
    std::uint32_t size;     // bytes of the whole reply
    std::uint32_t version;  // of the interface; 1 here
    std::uint32_t id;       // RecvId
};

struct RecvException {
    RecvHeader header;
    std::uint32_t exception;  // ExceptionCode
    std::uint32_t sendId;     // packet id of the call that failed
    std::uint32_t index;      // parameter index, 0 when none
};

inline constexpr std::size_t kApplicationNameSize = 256;

struct RecvOpen {
    RecvHeader header;
    char applicationName[kApplicationNameSize];  // may lack a zero byte
    std::uint32_t applicationVersionMajor;
    std::uint32_t applicationVersionMinor;
    std::uint32_t applicationBuildMajor;
    std::uint32_t applicationBuildMinor;
};

struct RecvEvent {
    RecvHeader header;
    GroupId groupId;  // kUnusedId when the event belongs to no group
    ClientEventId eventId;
    std::uint32_t data;
};

// Sent to the connection that asked for a new AI object once it exists.
struct RecvAssignedObjectId {
    RecvHeader header;
    RequestId requestId;
    ObjectId objectId;
};

struct RecvEventObjectAddRemove {
    RecvEvent event;  // data: the object id
    std::uint32_t objectType;
};

inline constexpr std::size_t kFileNameSize = 260;

struct RecvEventFilename {
    RecvEvent event;
    char fileName[kFileNameSize];  // may lack a zero byte
    std::uint32_t flags;
};

struct RecvEventFrame {
    RecvEvent event;
    float frameRate;
    float simSpeed;
};

// The data block of the definition follows the record.
struct RecvSimObjectData {
    RecvHeader header;
    RequestId requestId;
    ObjectId objectId;
    DefinitionId defineId;
    std::uint32_t flags;
    std::uint32_t entryNumber;  // 1-based in a by-type reply
    std::uint32_t outOf;        // replies of a by-type request
    std::uint32_t defineCount;  // members in the block
};

// The item's fields follow the record, in the order of the facility definition.
struct RecvFacilityData {
    RecvHeader header;
    RequestId userRequestId;
    std::uint32_t uniqueRequestId;
    std::uint32_t parentUniqueRequestId;
    std::uint32_t type;  // FacilityItemType
    std::uint32_t isListItem;
    std::uint32_t itemIndex;
    std::uint32_t listSize;
};

struct RecvFacilityDataEnd {
    RecvHeader header;
    RequestId requestId;
};

// Where a new AI object appears.
struct InitPosition {
    double latitude;   // degrees
    double longitude;  // degrees
    double altitude;   // feet
    double pitch;      // degrees
    double bank;       // degrees
    double heading;    // degrees true
    std::uint32_t onGround;
    std::uint32_t airspeed;  // knots
};

static_assert(sizeof(RecvHeader) == 12);
static_assert(sizeof(RecvException) == 24);
static_assert(sizeof(RecvOpen) == 284);
static_assert(sizeof(RecvEvent) == 24);
static_assert(sizeof(RecvAssignedObjectId) == 20);
static_assert(sizeof(RecvEventObjectAddRemove) == 28);
static_assert(sizeof(RecvEventFilename) == 288);
static_assert(sizeof(RecvEventFrame) == 32);
static_assert(sizeof(RecvSimObjectData) == 40);
static_assert(sizeof(RecvFacilityData) == 40);
static_assert(sizeof(RecvFacilityDataEnd) == 16);
static_assert(sizeof(InitPosition) == 56);

// The dispatch callback: one reply, its size in bytes, the caller's context.
using DispatchProc = void (*)(const RecvHeader* message, std::uint32_t size, void* context);

// One open connection (the "handle"). The library that opened it keeps it
// alive; after `close` every call fails.
class SimConnection {
public:
    virtual ~SimConnection() = default;

    virtual HResult close() = 0;
    // Calls `proc` once for every reply waiting, in order, then returns.
    virtual HResult callDispatch(DispatchProc proc, void* context) = 0;

    virtual HResult addToDataDefinition(DefinitionId definition, std::string_view datumName, std::string_view unitsName,
                                        DataType type, float epsilon, std::uint32_t datumId) = 0;
    virtual HResult requestDataOnSimObject(RequestId request, DefinitionId definition, ObjectId object,
                                           Period period) = 0;
    // Every object of the type within the radius (metres) of the user's aircraft.
    virtual HResult requestDataOnSimObjectType(RequestId request, DefinitionId definition, std::uint32_t radiusMetres,
                                               std::uint32_t objectType) = 0;
    // `unitSize` bytes per element; `arrayCount` 0 means one element.
    virtual HResult setDataOnSimObject(DefinitionId definition, ObjectId object, std::uint32_t flags,
                                       std::uint32_t arrayCount, std::uint32_t unitSize, const void* data) = 0;

    virtual HResult subscribeToSystemEvent(ClientEventId event, std::string_view systemEventName) = 0;
    virtual HResult mapClientEventToSimEvent(ClientEventId event, std::string_view simEventName) = 0;
    virtual HResult addClientEventToNotificationGroup(GroupId group, ClientEventId event, bool maskable) = 0;
    virtual HResult setNotificationGroupPriority(GroupId group, std::uint32_t priority) = 0;
    virtual HResult transmitClientEvent(ObjectId object, ClientEventId event, std::uint32_t data, GroupId group,
                                        std::uint32_t flags) = 0;

    virtual HResult aiCreateNonAtcAircraft(std::string_view containerTitle, std::string_view tailNumber,
                                           const InitPosition& position, RequestId request) = 0;
    virtual HResult aiRemoveObject(ObjectId object, RequestId request) = 0;
    virtual HResult aiReleaseControl(ObjectId object, RequestId request) = 0;
    // The plan's file is named as a path: a narrow text would be read in the
    // system's code page on Windows.
    virtual HResult aiSetAircraftFlightPlan(ObjectId object, const std::filesystem::path& flightPlanPath,
                                            RequestId request) = 0;
    // The packet id of the last call sent on this connection.
    virtual HResult getLastSentPacketId(std::uint32_t* packetId) = 0;

    virtual HResult addToFacilityDefinition(DefinitionId definition, std::string_view fieldName) = 0;
    virtual HResult requestFacilityData(DefinitionId definition, RequestId request, std::string_view icao,
                                        std::string_view region) = 0;
};

// What opens connections.
class SimLibrary {
public:
    virtual ~SimLibrary() = default;
    // On success `*connection` names the new connection; on failure it is nullptr.
    virtual HResult open(SimConnection** connection, std::string_view applicationName, std::uint32_t configIndex) = 0;
};

// A copy of the record at the start of a reply, or nothing when the reply is
// shorter than the record (by its given size or by its own header).
template <class Record>
std::optional<Record> readRecord(const RecvHeader* message, std::uint32_t size) {
    if (message == nullptr || size < sizeof(Record) || message->size < sizeof(Record)) return std::nullopt;
    Record record;
    std::memcpy(&record, message, sizeof(Record));
    return record;
}

// The bytes of a reply after the record that opens it, bounded by the smaller
// of the two sizes.
std::span<const std::byte> trailingBytes(const RecvHeader* message, std::uint32_t size, std::size_t recordSize);

// The text of a fixed field: up to the first zero byte within the field, or
// the whole field when it holds none.
std::string fixedText(const char* field, std::size_t fieldSize);
template <std::size_t N>
std::string fixedText(const char (&field)[N]) {
    return fixedText(field, N);
}
std::string fixedText(std::span<const std::byte> field);

// Writes a text into a fixed field: cut to the field, zero-padded. With
// `terminate` the last byte is always zero; without it a long text fills the
// whole field.
void writeFixedText(char* field, std::size_t fieldSize, std::string_view text, bool terminate);

}  // namespace qvl::sim
