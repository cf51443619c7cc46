// The monitors of the desktop, as the saver covers them: the primary first, then the others.
#pragma once

#include "platform/Display.h"

#include <vector>

namespace Halcyra::Platform {

// Each monitor's place on the desktop, the primary first. On X11 the server's RandR monitors (which
// include any a client defined); elsewhere, or on a server without them, SDL's displays, whose video
// subsystem must then be running. Empty when neither knows of one.
std::vector<TRect> DesktopMonitors();

} // namespace Halcyra::Platform
