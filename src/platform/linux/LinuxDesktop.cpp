// GTK started on X11, and the no-display error.
#include "platform/linux/LinuxDesktop.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

namespace Halcyra::Platform {

ENoDisplay NoDisplayError()
{
    const char *name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return ENoDisplay("no display could be opened: DISPLAY is not set");
    return ENoDisplay(std::string("no display could be opened: DISPLAY is \"") + name + "\"");
}

bool StartGtkOnX11()
{
    // Only heeded before GTK opens its display, so every start goes through here.
    gdk_set_allowed_backends("x11");
    return gtk_init_check(nullptr, nullptr);
}

} // namespace Halcyra::Platform
