// The system's text encodings: the 8-bit code page the gadgets and the dialog write their texts in,
// and the converters of the character sets that downloaded documents come in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Halcyra::Platform {

class ITextEncodings {
public:
    virtual ~ITextEncodings() = default;

    // Appends the bytes that stand for the character in the system's ANSI code page (one byte, or two
    // in a double-byte code page) and returns true; returns false and appends nothing when the code
    // page lacks the character. Safe on any thread.
    virtual bool AppendAnsi(char32_t character, std::string &text) const = 0;
    // The text of bytes written in the named character set (an IANA name such as "windows-1251" or
    // "Shift_JIS", any case), as UTF-8; bytes that are invalid in it become U+FFFD. nullopt when the
    // system does not know the character set.
    virtual std::optional<std::string> DecodeToUtf8(std::string_view charset, std::string_view bytes) const = 0;
};

// The system's encodings: on Windows its ANSI code page and its code page converters; on Linux
// Windows-1252, the code page the soft fonts draw, and the C library's converters.
const ITextEncodings &SystemTextEncodings();

} // namespace Halcyra::Platform
