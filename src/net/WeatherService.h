// The keyless forecast service the weather gadget asks by the place's coordinates: the address of
// one answer with today's and tomorrow's weather, and the reading of the JSON it sends back.
#pragma once

#include "config/LocationTable.h"
#include "net/FeedParsing.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Halcyra::Net {

// The units of the temperatures asked for: Celsius for the units letter "c" exactly, Fahrenheit for
// any other, as the forecast page does.
enum class TTemperatureUnit { Celsius, Fahrenheit };
TTemperatureUnit TemperatureUnitOf(std::string_view tDegree);

// The service's answer for two days is about a kilobyte; a longer one is not an answer to this
// request and is not parsed.
inline constexpr std::size_t MaxWeatherAnswerSize = 64 * 1024;

// The address of the answer for a place on the service at `service` (scheme and host, with a port
// when it has one): the current temperature, weather code and day flag, and the daily weather code,
// low and high of today and tomorrow in the place's own time zone and in the given units.
std::string WeatherServiceURL(std::string_view service, const TPlaceCoordinates &place, TTemperatureUnit unit);

// The gadget's values from an answer: the current weather code (by day or night) and temperature,
// and tomorrow's, the second daily entry, code, low and high; temperatures rounded to whole degrees.
// nullopt for anything else: not JSON, a field missing or of another type, temperatures in other
// units than asked for or beyond any weather, an answer longer than MaxWeatherAnswerSize.
std::optional<TWeatherValues> ParseWeatherService(std::string_view body, TTemperatureUnit unit);

} // namespace Halcyra::Net
