// UTF-8, the text form the feed reader works in between a document's own character set and the
// gadgets' code page.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Halcyra::Net {

inline constexpr char32_t ReplacementCharacter = 0xFFFD;

// Appends a character as UTF-8; a surrogate or a value past U+10FFFF appends U+FFFD.
void AppendUtf8(std::string &text, char32_t character);

// The character that starts at text[at], moving at past it; nullopt, moving at one byte on, when the
// bytes there are no valid UTF-8 (overlong forms, surrogates and values past U+10FFFF included).
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t &at);

bool IsValidUtf8(std::string_view text);

// Valid UTF-8 as it is; every byte that is not part of a valid sequence read as a Windows-1252
// character, the likeliest meaning of a stray byte in a feed.
std::string RepairedUtf8(std::string_view text);

} // namespace Halcyra::Net
