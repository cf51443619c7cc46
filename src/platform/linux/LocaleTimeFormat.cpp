// The locale's time format without seconds.
#include "platform/linux/LocaleTimeFormat.h"

namespace Halcyra::Platform {

std::string TimeFormatWithoutSeconds(const std::string &format)
{
    // Spell out the composite conversions first, so that their seconds can be found.
    std::string expanded;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            const char conversion = format[i + 1];
            if (conversion == 'T') {
                expanded += "%H:%M:%S";
                ++i;
                continue;
            }
            if (conversion == 'r') {
                expanded += "%I:%M:%S %p";
                ++i;
                continue;
            }
            expanded += format.substr(i, 2);
            ++i;
            continue;
        }
        expanded += format[i];
    }
    // Remove each %S with the separator just before it (":" or ".", and any spaces).
    std::string result;
    for (std::size_t i = 0; i < expanded.size(); ++i) {
        if (expanded[i] == '%' && i + 1 < expanded.size() && expanded[i + 1] == 'S') {
            while (!result.empty() && (result.back() == ':' || result.back() == '.' || result.back() == ' ') &&
                   !(result.size() >= 2 && result[result.size() - 2] == '%'))
                result.pop_back();
            ++i;
            continue;
        }
        result += expanded[i];
        if (expanded[i] == '%' && i + 1 < expanded.size()) {
            // A 12-hour clock writes its hour without padding, "9:35 PM", as the Windows clock does.
            if (expanded[i + 1] == 'I' || expanded[i + 1] == 'l')
                result += '-';
            result += expanded[++i];
        }
    }
    return result.empty() ? "%H:%M" : result;
}

} // namespace Halcyra::Platform
