// Windows-1252, the code page of the Linux program's texts and the reading of stray bytes in feeds.
#pragma once

#include "platform/TextEncodings.h"

#include <optional>

namespace Halcyra::Net {

// The character a byte stands for; the five bytes the code page leaves free stand for the C1
// controls of the same number, as Windows reads them.
char32_t Windows1252ToUnicode(unsigned char byte);
// The byte of a character; nullopt for a character the code page lacks and for the C1 controls.
std::optional<unsigned char> UnicodeToWindows1252(char32_t character);

// Text encodings whose ANSI code page is Windows-1252 and that convert no other character set: the
// Linux program's code page, and what the core uses when it is given no system's encodings.
const Platform::ITextEncodings &Windows1252Encodings();

} // namespace Halcyra::Net
