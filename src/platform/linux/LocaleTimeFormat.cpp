// The locale's time format without seconds, and its text in the gadgets' code page.
#include "platform/linux/LocaleTimeFormat.h"
#include "platform/soft/SoftFonts.h"

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
    // Remove each %S with the separator just before it (":" or ".", and any spaces) and the unit
    // written right after it ("秒" in "%H時%M分%S秒"), up to a blank or the next conversion.
    std::string result;
    for (std::size_t i = 0; i < expanded.size(); ++i) {
        if (expanded[i] == '%' && i + 1 < expanded.size() && expanded[i + 1] == 'S') {
            while (!result.empty() && (result.back() == ':' || result.back() == '.' || result.back() == ' ') &&
                   !(result.size() >= 2 && result[result.size() - 2] == '%'))
                result.pop_back();
            ++i;
            while (i + 1 < expanded.size() && expanded[i + 1] != '%' && expanded[i + 1] != ' ')
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

std::size_t Utf8ToWindows1252(char *text, std::size_t length)
{
    std::size_t out = 0;
    for (std::size_t at = 0; at < length;) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t size = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                  : lead >= 0xF0 && lead < 0xF5                 ? 4
                                                                                                : 0;
        char32_t character = size == 1 ? lead : size == 2 ? lead & 0x1F : size == 3 ? lead & 0x0F : lead & 0x07;
        bool whole = size != 0 && at + size <= length;
        for (std::size_t i = 1; whole && i < size; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            whole = (next & 0xC0) == 0x80;
            character = (character << 6) | (next & 0x3F);
        }
        // What the code page has not (a broken sequence included) is a question mark, as Windows
        // writes it.
        char written = '?';
        if (whole && (character < 0x80 || (character >= 0xA0 && character <= 0xFF))) {
            written = static_cast<char>(character);
        } else if (whole) {
            for (unsigned byte = 0x80; byte < 0xA0; ++byte) {
                if (Windows1252ToUnicode(static_cast<std::uint8_t>(byte)) == character)
                    written = static_cast<char>(byte);
            }
        }
        text[out++] = written;
        at += whole ? size : 1;
    }
    return out;
}

} // namespace Halcyra::Platform
