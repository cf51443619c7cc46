// UTF-8 encoding and strict decoding.
#include "net/Utf8.h"

#include "net/Windows1252.h"

namespace Halcyra::Net {

void AppendUtf8(std::string &text, char32_t character)
{
    if ((character >= 0xD800 && character <= 0xDFFF) || character > 0x10FFFF)
        character = ReplacementCharacter;
    if (character < 0x80) {
        text.push_back(static_cast<char>(character));
    } else if (character < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (character >> 6)));
        text.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    } else if (character < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (character >> 12)));
        text.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (character >> 18)));
        text.push_back(static_cast<char>(0x80 | ((character >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    }
}

std::optional<char32_t> NextUtf8(std::string_view text, std::size_t &at)
{
    const auto byte = [&](std::size_t index) { return static_cast<unsigned char>(text[index]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t length = 0;
    char32_t character = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        character = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        character = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        character = lead & 0x07;
        smallest = 0x10000;
    }
    if (length == 0 || at + length > text.size()) {
        ++at;
        return std::nullopt;
    }
    for (std::size_t index = 1; index < length; ++index) {
        const unsigned char next = byte(at + index);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return std::nullopt;
        }
        character = (character << 6) | (next & 0x3F);
    }
    if (character < smallest || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) {
        ++at;
        return std::nullopt;
    }
    at += length;
    return character;
}

bool IsValidUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        if (!NextUtf8(text, at))
            return false;
    }
    return true;
}

std::string RepairedUtf8(std::string_view text)
{
    if (IsValidUtf8(text))
        return std::string(text);
    std::string repaired;
    repaired.reserve(text.size() + text.size() / 8);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        if (NextUtf8(text, at))
            repaired.append(text.substr(start, at - start));
        else
            AppendUtf8(repaired, Windows1252ToUnicode(static_cast<unsigned char>(text[start])));
    }
    return repaired;
}

} // namespace Halcyra::Net
