// The forecast service's request for a place and the reading of its answers: full answers in both
// units, day and night, a place a day ahead of the machine, and answers that are not what was asked
// for (missing fields, other types, other units, no JSON, too long, too deep).
#include "net/WeatherService.h"
#include "net/WmoConditions.h"
#include "platform/Resources.h"

#include "net/NetTestData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Halcyra::Net {
namespace {

using Testing::ReadNetTestFile;
using Testing::ReplaceOnce;

void ExpectValues(const std::optional<TWeatherValues> &values, int todayCode, const std::string &now, int tomorrowCode,
                  const std::string &low, const std::string &high)
{
    ASSERT_TRUE(values);
    EXPECT_EQ(values->TodayCode, todayCode);
    EXPECT_EQ(values->TodayNow, now);
    EXPECT_EQ(values->TomorrowCode, tomorrowCode);
    EXPECT_EQ(values->TomorrowLow, low);
    EXPECT_EQ(values->TomorrowHi, high);
}

TEST(WeatherServiceURL, AsksForThePlaceOfAZipCodeOrALetterCodeInItsUnits)
{
    const TLocationCoordinates coordinates = EmbeddedLocationCoordinates(Platform::ModuleResources());
    const auto washington = coordinates.Find("20001");
    const auto lashkarGah = coordinates.Find("AFXX0005");
    ASSERT_TRUE(washington && lashkarGah);
    const std::string asked = "&current=temperature_2m,weather_code,is_day&daily=weather_code,temperature_2m_min,temperature_2m_max"
                              "&timezone=auto&forecast_days=2&temperature_unit=";
    const std::string zip = WeatherServiceURL("https://api.example", *washington, TTemperatureUnit::Fahrenheit);
    EXPECT_EQ(zip, "https://api.example/v1/forecast?latitude=38.8951&longitude=-77.0364" + asked + "fahrenheit");
    EXPECT_EQ(WeatherServiceURL("http://127.0.0.1:8080", *lashkarGah, TTemperatureUnit::Celsius),
              "http://127.0.0.1:8080/v1/forecast?latitude=31.5938&longitude=64.3716" + asked + "celsius");
    // The client sends at most 256 characters of path: the farthest place still fits.
    const TPlaceCoordinates farthest{-899999, -1799999, 0};
    EXPECT_LE(WeatherServiceURL("", farthest, TTemperatureUnit::Fahrenheit).size(), 256u);
}

TEST(WeatherServiceURL, OnlyTheExactLetterCAsksForCelsius)
{
    EXPECT_EQ(TemperatureUnitOf("c"), TTemperatureUnit::Celsius);
    for (const char *other : {"f", "C", "", "celsius"})
        EXPECT_EQ(TemperatureUnitOf(other), TTemperatureUnit::Fahrenheit) << other;
}

TEST(WeatherServiceAnswer, FullAnswersGiveTheFiveValuesInEitherUnit)
{
    // By day, partly cloudy at 41.6 °F; tomorrow slight rain, 33.4 to 47.5 (halves round away from zero).
    ExpectValues(ParseWeatherService(ReadNetTestFile("weather-service-washington-f.json"), TTemperatureUnit::Fahrenheit), 30,
                 "42", 11, "33", "48");
    // At night, clear at -0.4 °C (no "-0"); tomorrow slight snow, -3.5 to 2.5.
    ExpectValues(ParseWeatherService(ReadNetTestFile("weather-service-washington-c-night.json"), TTemperatureUnit::Celsius), 31,
                 "0", 13, "-4", "3");
}

TEST(WeatherServiceAnswer, TheDayFlagPicksTheSunOrTheMoon)
{
    const std::string night = ReadNetTestFile("weather-service-washington-c-night.json");
    const std::string day = ReplaceOnce(night, "\"is_day\": 0", "\"is_day\": 1");
    EXPECT_EQ(ParseWeatherService(day, TTemperatureUnit::Celsius)->TodayCode, 32);
    EXPECT_EQ(ParseWeatherService(night, TTemperatureUnit::Celsius)->TodayCode, 31);
    // Tomorrow is a day's forecast, drawn as by day whatever the hour.
    const std::string clearTomorrow = ReplaceOnce(night, "[0, 71]", "[0, 0]");
    EXPECT_EQ(ParseWeatherService(clearTomorrow, TTemperatureUnit::Celsius)->TomorrowCode, 32);
}

TEST(WeatherServiceAnswer, TomorrowIsThePlacesOwnTomorrow)
{
    // At 19:00 UTC on 14 January the saver's machine is still on the 14th; Nuku'alofa, 13 hours
    // ahead, is on the morning of the 15th, so its tomorrow is the 16th: thunderstorms.
    ExpectValues(ParseWeatherService(ReadNetTestFile("weather-service-nukualofa-c.json"), TTemperatureUnit::Celsius), 40, "27", 4,
                 "25", "29");
}

TEST(WeatherServiceAnswer, AnswersThatAreNotTheOneAskedForGiveNothing)
{
    const std::string full = ReadNetTestFile("weather-service-washington-f.json");
    struct TCase {
        const char *What;
        std::string Body;
    };
    const std::vector<TCase> cases = {
        {"empty body", ""},
        {"an HTML error page", ReadNetTestFile("weather-service-bad-gateway.html")},
        {"the service's own error", ReadNetTestFile("weather-service-error-latitude.json")},
        {"cut short", full.substr(0, full.size() / 2)},
        {"an array", "[" + full + "]"},
        {"no current weather", ReplaceOnce(full, "\"current\":", "\"currently\":")},
        {"no daily weather", ReplaceOnce(full, "\"daily\":", "\"dayly\":")},
        {"no current code", ReplaceOnce(full, "\"weather_code\":2,", "")},
        {"no day flag", ReplaceOnce(full, ",\"is_day\":1}", "}")},
        {"no tomorrow's high", ReplaceOnce(full, ",\"temperature_2m_max\":[44.1,47.5]", "")},
        {"only today", ReplaceOnce(ReplaceOnce(ReplaceOnce(full, "[3,61]", "[3]"), "[30.2,33.4]", "[30.2]"), "[44.1,47.5]", "[44.1]")},
        {"a code as text", ReplaceOnce(full, "\"weather_code\":2,", "\"weather_code\":\"2\",")},
        {"a code with a fraction", ReplaceOnce(full, "\"weather_code\":2,", "\"weather_code\":2.5,")},
        {"a temperature as text", ReplaceOnce(full, "\"temperature_2m\":41.6", "\"temperature_2m\":\"41.6\"")},
        {"a missing value", ReplaceOnce(full, "[30.2,33.4]", "[30.2,null]")},
        {"a day flag of 2", ReplaceOnce(full, "\"is_day\":1", "\"is_day\":2")},
        {"a day flag as true", ReplaceOnce(full, "\"is_day\":1", "\"is_day\":true")},
        {"a daily series as an object", ReplaceOnce(full, "[3,61]", "{\"0\":3,\"1\":61}")},
        {"a temperature beyond any weather", ReplaceOnce(full, "47.5", "1e300")},
        {"temperatures in Celsius", ReplaceOnce(full, "\"temperature_2m\":\"\u00B0F\"", "\"temperature_2m\":\"\u00B0C\"")},
        {"daily units of another kind", ReplaceOnce(full, "\"temperature_2m_min\":\"\u00B0F\"", "\"temperature_2m_min\":7")},
        {"a code beyond 64 bits", ReplaceOnce(full, "\"weather_code\":2,", "\"weather_code\":18446744073709551615,")},
        {"longer than an answer can be", ReplaceOnce(full, "\"elevation\":14.0", "\"elevation\":14.0,\"x\":\"" + std::string(MaxWeatherAnswerSize, ' ') + "\"")},
    };
    for (const TCase &c : cases)
        EXPECT_FALSE(ParseWeatherService(c.Body, TTemperatureUnit::Fahrenheit)) << c.What;
}

TEST(WeatherServiceAnswer, UnitsMayBeLeftOutAndNestingBeyondTheAnswersIsDropped)
{
    std::string full = ReadNetTestFile("weather-service-washington-f.json");
    const std::string unitless = ReplaceOnce(ReplaceOnce(full, "\"current_units\":", "\"x_current_units\":"), "\"daily_units\":", "\"x_daily_units\":");
    ExpectValues(ParseWeatherService(unitless, TTemperatureUnit::Fahrenheit), 30, "42", 11, "33", "48");
    // Twenty thousand arrays inside one another take no more than their bytes to read.
    const std::string deep = ReplaceOnce(full, "\"elevation\":14.0", "\"elevation\":" + std::string(20000, '[') + std::string(20000, ']'));
    ExpectValues(ParseWeatherService(deep, TTemperatureUnit::Fahrenheit), 30, "42", 11, "33", "48");
}

TEST(WmoConditions, EveryDocumentedCodeHasItsIconByDayAndByNight)
{
    const TWmoCondition expected[] = {
        {0, 32, 31},  {1, 34, 33},  {2, 30, 29},  {3, 26, 26},  {45, 20, 20}, {48, 20, 20}, {51, 9, 9},
        {53, 9, 9},   {55, 9, 9},   {56, 8, 8},   {57, 8, 8},   {61, 11, 11}, {63, 12, 12}, {65, 12, 12},
        {66, 10, 10}, {67, 10, 10}, {71, 13, 13}, {73, 16, 16}, {75, 41, 41}, {77, 18, 18}, {80, 40, 11},
        {81, 11, 11}, {82, 12, 12}, {85, 14, 46}, {86, 43, 43}, {95, 4, 4},   {96, 3, 3},   {99, 3, 3},
    };
    ASSERT_EQ(WmoConditionTable().size(), std::size(expected)) << "a row without its test";
    for (const TWmoCondition &row : expected) {
        EXPECT_EQ(ConditionOfWmoCode(row.WmoCode, TDaylight::Day), row.Day) << "WMO " << row.WmoCode << " by day";
        EXPECT_EQ(ConditionOfWmoCode(row.WmoCode, TDaylight::Night), row.Night) << "WMO " << row.WmoCode << " by night";
    }
}

TEST(WmoConditions, ACodeTheTableLacksIsNotAvailable)
{
    for (std::int64_t code : std::initializer_list<std::int64_t>{-1, 4, 47, 49, 100, 3200, INT64_MAX})
        EXPECT_EQ(ConditionOfWmoCode(code, TDaylight::Day), 48) << code;
}

} // namespace
} // namespace Halcyra::Net
