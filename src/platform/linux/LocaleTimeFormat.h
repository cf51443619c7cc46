// The locale's strftime time format with its seconds taken out, as a clock without seconds shows it,
// and the text it writes in the gadgets' 8-bit code page.
#pragma once

#include <cstddef>
#include <string>

namespace Halcyra::Platform {

// "%H:%M:%S" → "%H:%M", "%T" → "%H:%M", "%r" → "%-I:%M %p", "%l:%M:%S %p" → "%-l:%M %p": the
// 12-hour hour loses its padding.
// A unit written right after the seconds goes with them: "%H時%M分%S秒" → "%H時%M分".
std::string TimeFormatWithoutSeconds(const std::string &format);

// Rewrites UTF-8 text in place as Windows-1252, the code page the gadgets draw in; a character it
// lacks becomes '?'. Returns the new length, never more than the old. Allocates nothing.
std::size_t Utf8ToWindows1252(char *text, std::size_t length);

} // namespace Halcyra::Platform
