// The locale's strftime time format with its seconds taken out, as a clock without seconds shows it.
#pragma once

#include <string>

namespace Halcyra::Platform {

// "%H:%M:%S" → "%H:%M", "%T" → "%H:%M", "%r" → "%-I:%M %p", "%l:%M:%S %p" → "%-l:%M %p": the
// 12-hour hour loses its padding.
std::string TimeFormatWithoutSeconds(const std::string &format);

} // namespace Halcyra::Platform
