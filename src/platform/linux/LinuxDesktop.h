// The desktop the Linux program opens its windows on: GTK on its X11 backend, and the error for a
// display that cannot be opened.
#pragma once

#include "platform/Application.h"

namespace Halcyra::Platform {

// "no display could be opened: DISPLAY is ...", naming what the environment holds.
ENoDisplay NoDisplayError();

// Starts GTK on its X11 backend only: the program's windows are handed on by their X11 ids (to the
// window's sight, as a dialog's owner), so on a Wayland desktop GTK goes through XWayland. False when
// no display can be opened. GTK keeps the first answer for the rest of the process.
bool StartGtkOnX11();

} // namespace Halcyra::Platform
