// The one way a downloaded text becomes the 8-bit text the gadgets and the dialog draw: the
// system's ANSI code page, with a near stand-in for every character the code page lacks.
#pragma once

#include "platform/TextEncodings.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace Halcyra::Net {

// utf8 in the encodings' ANSI code page, at most maxBytes long (cut before the first character that
// would not fit whole). A character the code page lacks becomes its stand-in: the ASCII form of a
// quote, dash or symbol ("..." for an ellipsis, "EUR" for the euro sign), the letter without its
// marks, the Latin spelling of a Cyrillic or Greek letter, the ASCII form of a full-width letter;
// a combining mark is left out; anything else becomes "?". Invalid UTF-8 counts as "?".
std::string Utf8ToAnsi(std::string_view utf8, const Platform::ITextEncodings &encodings, std::size_t maxBytes);

} // namespace Halcyra::Net
