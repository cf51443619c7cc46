// The one table from the service's WMO codes to the strip's conditions. The strip's icons by code:
// 3 severe thunderstorms, 4 thunderstorms, 8 freezing drizzle, 9 drizzle, 10 freezing rain, 11 and 12
// showers (12 heavier), 13 snow flurries, 14 light snow showers, 16 snow, 18 sleet, 20 foggy,
// 26 cloudy, 27/28 mostly cloudy (night/day), 29/30 partly cloudy, 31/32 clear/sunny, 33/34 fair,
// 40 scattered showers, 41 and 43 heavy snow, 46 snow showers. Icons with a sun in them (14, 40) are
// shown by day only; the night takes the same weather without the sun.
#include "net/WmoConditions.h"

#include "net/FeedTargets.h"

#include <algorithm>
#include <array>

namespace Halcyra::Net {
namespace {

constexpr std::array<TWmoCondition, 28> Table{{
    {0, 32, 31},  // clear sky: sunny, clear night
    {1, 34, 33},  // mainly clear: fair
    {2, 30, 29},  // partly cloudy
    {3, 26, 26},  // overcast: cloudy
    {45, 20, 20}, // fog
    {48, 20, 20}, // depositing rime fog
    {51, 9, 9},   // light drizzle
    {53, 9, 9},   // moderate drizzle
    {55, 9, 9},   // dense drizzle
    {56, 8, 8},   // light freezing drizzle
    {57, 8, 8},   // dense freezing drizzle
    {61, 11, 11}, // slight rain
    {63, 12, 12}, // moderate rain
    {65, 12, 12}, // heavy rain
    {66, 10, 10}, // light freezing rain
    {67, 10, 10}, // heavy freezing rain
    {71, 13, 13}, // slight snow fall: flurries
    {73, 16, 16}, // moderate snow fall
    {75, 41, 41}, // heavy snow fall
    {77, 18, 18}, // snow grains: small ice, as sleet
    {80, 40, 11}, // slight rain showers: scattered showers, or showers at night
    {81, 11, 11}, // moderate rain showers
    {82, 12, 12}, // violent rain showers
    {85, 14, 46}, // slight snow showers: light snow showers, or snow showers at night
    {86, 43, 43}, // heavy snow showers: heavy snow
    {95, 4, 4},   // thunderstorm, slight or moderate
    {96, 3, 3},   // thunderstorm with slight hail: severe
    {99, 3, 3},   // thunderstorm with heavy hail: severe
}};

static_assert(std::is_sorted(Table.begin(), Table.end(), [](const TWmoCondition &a, const TWmoCondition &b) { return a.WmoCode < b.WmoCode; }));

} // namespace

std::span<const TWmoCondition> WmoConditionTable() { return Table; }

int ConditionOfWmoCode(std::int64_t wmoCode, TDaylight daylight)
{
    const auto row = std::find_if(Table.begin(), Table.end(), [wmoCode](const TWmoCondition &entry) { return entry.WmoCode == wmoCode; });
    if (row == Table.end())
        return WeatherCodeNotAvailable;
    return daylight == TDaylight::Day ? row->Day : row->Night;
}

} // namespace Halcyra::Net
