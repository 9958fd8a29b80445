#include "engine/engine.h"

#include "core/time_text.h"

namespace qvl {

WeekTime Engine::weekTime() const {
    return WeekTime::fromPacked(clocks.weekTime ? clocks.weekTime() : gf_trafficDaySlot(feed.time));
}

}  // namespace qvl
