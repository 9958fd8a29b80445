// The simulator's facility data of add-on airports: the reader owns a second
// connection of its own, "PARKING_DATA_RDR", beside the live one. It opens
// the connection at its first read, keeps it for every later read of the
// scan, and closes it when the scan ends (close()) or when it goes away.
//
// One read asks for an airport's reference point, altitude and name, its
// taxi parkings and its helipads, and turns them into the stands of an
// ApfRecord: a parking lies at its bias from the reference point and is
// named by its number ("7", "7a", "7b" for numbers met again), helipads are
// named "helipad1", "helipad2", ...
//
// Nothing is thrown through the simulator's dispatch: the dispatch handler
// only records what arrived (items, the end, an exception, a quit), and the
// read decides after the dispatch call has returned. The wait for the end of
// the data is bounded (FacilityReaderTiming::quietLimit without an item) and
// ends when the run closes; after a broken wait the connection is closed, so
// that no late item of it reaches a later read.
//
// Threads: a reader belongs to the one thread that drives the scan.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "airports/facility/facility_parking_source.h"
#include "airports/stand.h"
#include "core/run_state.h"
#include "platform/sim/sim_api.h"
#include "platform/sim/sim_clock.h"

namespace qvl {

inline constexpr std::string_view kFacilityConnectionName = "PARKING_DATA_RDR";
inline constexpr sim::DefinitionId kParkingFacilityDefinition = 1001;
inline constexpr sim::RequestId kParkingFacilityRequest = 2001;

// Bytes of each item's fields after the item's record, as the definition
// lists them; a shorter item is not read.
inline constexpr std::size_t kFacilityAirportBytes = 3 * 8 + 32 + 2 * 4;
inline constexpr std::size_t kFacilityTaxiParkingBytes = std::size_t{10} * 4;
inline constexpr std::size_t kFacilityHelipadBytes = 3 * 8 + 3 * 4 + 2 * 4;

struct FacilityReaderTiming {
    // The longest wait without any item before the read gives up.
    std::chrono::milliseconds quietLimit{30000};
    std::chrono::milliseconds poll{1};
    // Time for the quiet limit; null: the steady clock.
    std::shared_ptr<const sim::SimClock> clock{};
    // The pause between dispatch calls; null: the thread sleeps.
    std::function<void(std::chrono::milliseconds)> sleep{};
};

// One request's findings as the items arrive.
struct FacilityRequest {
    std::string icao{};
    double latitude = 0.0;  // degrees, the reference point
    double longitude = 0.0;
    double altitudeFt = 0.0;
    std::string name{};
    std::vector<Stand> stands{};  // unnamed until lf_nameFacilityStands
};

// What one dispatch call hands to the handler, and what the handler leaves
// for the read to decide on.
struct FacilityDispatchContext {
    FacilityRequest* request = nullptr;
    std::uint64_t items = 0;  // replies of the request seen so far
    bool done = false;        // the end of the data came
    bool quit = false;        // the simulator quit
    std::optional<sim::RecvException> exception{};
    std::vector<std::string> scanLogLines{};
};

// The dispatch handler: `context` is a FacilityDispatchContext (nothing
// happens without one). It never throws; a reply shorter than its layout is
// reported and skipped.
void lf_facilityDispatch(const sim::RecvHeader* message, std::uint32_t size, void* context) noexcept;

// Names the request's stands in list order: helipads "helipad1", ...; the
// others by their number, the k-th repeat of a number with k in bijective
// base 26 after it (7, 7a, ..., 7z, 7aa). `helipads` is the helipad count.
void lf_nameFacilityStands(FacilityRequest& request, std::int32_t& helipads);

// The suffix of the k-th repeat (k >= 1): a, ..., z, aa, ab, ...
std::string bijectiveBase26(std::uint64_t k);

class FacilityDataReader final : public FacilityParkingSource {
public:
    FacilityDataReader(sim::SimLibrary& simulator, const RunState& run, FacilityReaderTiming timing = {});
    ~FacilityDataReader() override;
    FacilityDataReader(const FacilityDataReader&) = delete;
    FacilityDataReader& operator=(const FacilityDataReader&) = delete;

    // One airport's facility data (see FacilityParkingSource).
    [[nodiscard]] FacilityReadResult gf_readFacilityParking(std::string_view icao, ApfRecord& record,
                                                            std::int32_t& helipads);
    [[nodiscard]] FacilityReadResult readFacilityParking(std::string_view icao, ApfRecord& record,
                                                         std::int32_t& helipads) override {
        return gf_readFacilityParking(icao, record, helipads);
    }

    // Closes the connection when it is open, with its log lines; the next
    // read opens a new one.
    void close();
    [[nodiscard]] bool isOpen() const noexcept { return connection_ != nullptr; }

private:
    [[nodiscard]] bool open(FacilityReadResult& result);
    [[nodiscard]] bool lf_defineParkingFacility();
    // Nothing when the data came whole, else how the wait broke off.
    [[nodiscard]] std::optional<FacilityReadOutcome> waitForData(FacilityDispatchContext& context);

    sim::SimLibrary& simulator_;
    const RunState& run_;
    FacilityReaderTiming timing_;
    sim::SimConnection* connection_ = nullptr;
};

}  // namespace qvl
