// Fuzz target: the weather service's answer reader on arbitrary bytes. Besides the sanitizers, it
// checks what the reader promises: a result holds condition codes the strip draws (0 to 48) and
// temperatures as short signed whole numbers, in either unit.
#include "net/WeatherService.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool IsWholeDegrees(const std::string &text)
{
    const std::size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() <= digits || text.size() > digits + 3)
        return false;
    for (std::size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return text != "-0";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace Halcyra::Net;
    const std::string_view body(reinterpret_cast<const char *>(data), size);
    for (TTemperatureUnit unit : {TTemperatureUnit::Celsius, TTemperatureUnit::Fahrenheit}) {
        const auto values = ParseWeatherService(body, unit);
        if (!values)
            continue;
        Check(values->TodayCode >= 0 && values->TodayCode <= 48);
        Check(values->TomorrowCode >= 0 && values->TomorrowCode <= 48);
        Check(IsWholeDegrees(values->TodayNow) && IsWholeDegrees(values->TomorrowLow) && IsWholeDegrees(values->TomorrowHi));
    }
    return 0;
}
