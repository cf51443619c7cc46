// Which character set a downloaded document is written in, and its text in UTF-8.
#pragma once

#include "platform/TextEncodings.h"

#include <string>
#include <string_view>

namespace Halcyra::Net {

// The charset parameter of the Content-Type line among an answer's header lines, unquoted; empty
// when there is none.
std::string ContentTypeCharset(std::string_view headerLines);

// The document's text in UTF-8. Its character set is, in this order: a byte order mark (UTF-8,
// UTF-16), the layout of UTF-16 without a mark, the encoding of its XML declaration, the answer's
// charset, UTF-8. ISO-8859-1 and US-ASCII are read as Windows-1252, which they are in practice; a
// document named another single-byte or multi-byte set whose bytes are valid UTF-8 with characters
// beyond ASCII is UTF-8 mislabelled; other sets are converted by the system, and one it does not
// know is read as UTF-8. Bytes that are invalid UTF-8 are read as Windows-1252 characters, so no
// document ever comes out as mojibake or fails for its encoding.
std::string DocumentToUtf8(std::string_view body, std::string_view answerCharset,
                           const Platform::ITextEncodings &encodings);

} // namespace Halcyra::Net
