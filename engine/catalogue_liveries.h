// The engine's livery service over the installed liveries: the matchers of
// the livery catalogue, fed from and written back to the flight record, and
// the titles the registration codes fix.
//
// The program owns the tables, the refused titles (in EngineState, kept
// across runs) and the step counters (kept for the whole process), and
// builds one CatalogueLiveries over them; run thread only.
#pragma once

#include <string_view>

#include "engine/base/engine.h"
#include "engine/base/engine_state.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_tables.h"

namespace qvl {

class CatalogueLiveries final : public LiveryService {
public:
    // Tells the tables, for as long as it lives, whether the engine holds
    // views of their titles.
    CatalogueLiveries(LiveryTables& tables, EngineState& state, LiveryMatchCounters& counters);
    ~CatalogueLiveries() override;
    CatalogueLiveries(const CatalogueLiveries&) = delete;
    CatalogueLiveries& operator=(const CatalogueLiveries&) = delete;

    void matchLiveAcLivery(FlightRec& flight) override;
    // The stand's cargo flag without its id: the no-match line names no stand.
    bool matchStaticAcLivery(FlightRec& flight, bool cargoStand) override;
    bool matchStaticAcLiveryOnStand(FlightRec& flight, std::string_view standId, bool cargoStand) override;
    std::string_view registrationTitle(std::string_view registration) override;

    // The step counters and the aircraft that could not be created, to Log.txt.
    void logMatchSummary() const;

private:
    LiveryTables& tables_;
    UncreatableLiveries& uncreatable_;
    LiveryMatchCounters& counters_;
};

}  // namespace qvl
