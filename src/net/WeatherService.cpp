// The forecast service's request and the reading of its answer with a JSON library, so that every
// field is checked for its type and an answer that is not what was asked for changes nothing.
#include "net/WeatherService.h"

#include "net/FeedTargets.h"
#include "net/WmoConditions.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace Halcyra::Net {
namespace {

using TJson = nlohmann::json;

// The answer's values lie at most three levels in (the 61 of {"daily": {"weather_code": [3, 61]}});
// anything deeper is dropped while it is read, so no nesting in an answer costs more than its bytes.
constexpr int MaxAnswerDepth = 3;
// No air on Earth is this hot or cold, in either unit.
constexpr double MaxTemperature = 200.0;

// The units text the service writes beside temperatures.
std::string_view UnitText(TTemperatureUnit unit)
{
    return unit == TTemperatureUnit::Celsius ? "\u00B0C" : "\u00B0F";
}

const TJson *Member(const TJson &object, const char *name)
{
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

// The entry of a daily series, when the series is an array that has it.
const TJson *DailyEntry(const TJson &daily, const char *name, std::size_t index)
{
    const TJson *series = Member(daily, name);
    return series != nullptr && series->is_array() && series->size() > index ? &(*series)[index] : nullptr;
}

std::optional<std::int64_t> WholeNumber(const TJson *value)
{
    if (value == nullptr || !value->is_number_integer())
        return std::nullopt;
    // An unsigned value beyond the signed range is no weather code either.
    if (value->is_number_unsigned() && value->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
        return std::nullopt;
    return value->get<std::int64_t>();
}

// A temperature as the gadget writes it: rounded half away from zero, and never "-0".
std::optional<std::string> Temperature(const TJson *value)
{
    if (value == nullptr || !value->is_number())
        return std::nullopt;
    const double degrees = value->get<double>();
    if (!(std::fabs(degrees) <= MaxTemperature))
        return std::nullopt;
    const long rounded = std::lround(degrees);
    return std::to_string(rounded == 0 ? 0L : rounded);
}

// Where the answer names the units of a temperature, they are those asked for.
bool UnitsAgree(const TJson &root, const char *unitsObject, std::initializer_list<const char *> fields, TTemperatureUnit unit)
{
    const TJson *units = Member(root, unitsObject);
    if (units == nullptr)
        return true;
    for (const char *field : fields) {
        const TJson *text = Member(*units, field);
        if (text != nullptr && !(text->is_string() && text->get_ref<const std::string &>() == UnitText(unit)))
            return false;
    }
    return true;
}

} // namespace

TTemperatureUnit TemperatureUnitOf(std::string_view tDegree)
{
    return tDegree == "c" ? TTemperatureUnit::Celsius : TTemperatureUnit::Fahrenheit;
}

std::string WeatherServiceURL(std::string_view service, const TPlaceCoordinates &place, TTemperatureUnit unit)
{
    std::string url(service);
    url += "/v1/forecast?latitude=" + DegreesText(place.Latitude) + "&longitude=" + DegreesText(place.Longitude);
    url += "&current=temperature_2m,weather_code,is_day&daily=weather_code,temperature_2m_min,temperature_2m_max";
    url += "&timezone=auto&forecast_days=2&temperature_unit=";
    url += unit == TTemperatureUnit::Celsius ? "celsius" : "fahrenheit";
    return url;
}

std::optional<TWeatherValues> ParseWeatherService(std::string_view body, TTemperatureUnit unit)
{
    if (body.size() > MaxWeatherAnswerSize)
        return std::nullopt;
    const TJson root = TJson::parse(
        body.begin(), body.end(), [](int depth, TJson::parse_event_t, TJson &) { return depth <= MaxAnswerDepth; },
        /*allow_exceptions=*/false);
    if (!root.is_object())
        return std::nullopt;
    if (!UnitsAgree(root, "current_units", {"temperature_2m"}, unit) ||
        !UnitsAgree(root, "daily_units", {"temperature_2m_min", "temperature_2m_max"}, unit))
        return std::nullopt;

    const TJson *current = Member(root, "current");
    const TJson *daily = Member(root, "daily");
    if (current == nullptr || daily == nullptr)
        return std::nullopt;
    const std::optional<std::int64_t> todayCode = WholeNumber(Member(*current, "weather_code"));
    const std::optional<std::int64_t> isDay = WholeNumber(Member(*current, "is_day"));
    const std::optional<std::string> now = Temperature(Member(*current, "temperature_2m"));
    // Daily entries are days of the place's own calendar: the second is its tomorrow, whatever the
    // date is where the saver runs.
    constexpr std::size_t Tomorrow = 1;
    const std::optional<std::int64_t> tomorrowCode = WholeNumber(DailyEntry(*daily, "weather_code", Tomorrow));
    const std::optional<std::string> low = Temperature(DailyEntry(*daily, "temperature_2m_min", Tomorrow));
    const std::optional<std::string> high = Temperature(DailyEntry(*daily, "temperature_2m_max", Tomorrow));
    if (!todayCode || !isDay || (*isDay != 0 && *isDay != 1) || !now || !tomorrowCode || !low || !high)
        return std::nullopt;

    TWeatherValues values;
    values.TodayCode = ConditionOfWmoCode(*todayCode, *isDay == 1 ? TDaylight::Day : TDaylight::Night);
    values.TodayNow = *now;
    // A day's forecast is drawn as by day.
    values.TomorrowCode = ConditionOfWmoCode(*tomorrowCode, TDaylight::Day);
    values.TomorrowLow = *low;
    values.TomorrowHi = *high;
    return values;
}

} // namespace Halcyra::Net
