// The weather codes the forecast service writes (WMO code table 4677, as the service documents it)
// turned into the weather gadget's condition codes 0 to 47, the icons the strip draws.
#pragma once

#include <cstdint>
#include <span>

namespace Halcyra::Net {

// Whether the sun is up at the place: the strip draws a sun or a moon for clear and cloudy skies.
enum class TDaylight { Day, Night };

// One row of the table: a WMO code and the condition shown for it by day and by night.
struct TWmoCondition {
    int WmoCode;
    int Day;
    int Night;
};

// Every WMO code the service documents, in ascending order.
std::span<const TWmoCondition> WmoConditionTable();

// The condition code for a WMO code; 48 (not available) for a code the table does not hold.
int ConditionOfWmoCode(std::int64_t wmoCode, TDaylight daylight);

} // namespace Halcyra::Net
