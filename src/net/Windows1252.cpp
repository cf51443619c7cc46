// The Windows-1252 table: ASCII and Latin-1 as they are, 32 characters of their own at 0x80..0x9F.
#include "net/Windows1252.h"

#include <array>
#include <string>

namespace Halcyra::Net {
namespace {

constexpr std::array<char32_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

class TWindows1252Encodings final : public Platform::ITextEncodings {
public:
    bool AppendAnsi(char32_t character, std::string &text) const override
    {
        const std::optional<unsigned char> byte = UnicodeToWindows1252(character);
        if (!byte)
            return false;
        text.push_back(static_cast<char>(*byte));
        return true;
    }
    std::optional<std::string> DecodeToUtf8(std::string_view, std::string_view) const override { return std::nullopt; }
};

const TWindows1252Encodings TheWindows1252Encodings;

} // namespace

char32_t Windows1252ToUnicode(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? High[byte - 0x80] : byte;
}

std::optional<unsigned char> UnicodeToWindows1252(char32_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<unsigned char>(character);
    for (std::size_t index = 0; index < High.size(); ++index) {
        if (High[index] == character && character >= 0xA0)
            return static_cast<unsigned char>(0x80 + index);
    }
    return std::nullopt;
}

const Platform::ITextEncodings &Windows1252Encodings()
{
    return TheWindows1252Encodings;
}

} // namespace Halcyra::Net
