// The desktop's monitors: RandR 1.5's list on a connection of its own, or SDL's displays.
#include "platform/linux/LinuxMonitors.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <memory>
#include <string_view>

namespace Halcyra::Platform {

namespace {

std::vector<TRect> RandrMonitors()
{
    std::vector<TRect> monitors;
    const std::unique_ptr<Display, int (*)(Display *)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (display == nullptr)
        return monitors;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display.get(), &eventBase, &errorBase) || !XRRQueryVersion(display.get(), &major, &minor) ||
        (major == 1 && minor < 5) || major < 1)
        return monitors;
    int count = 0;
    XRRMonitorInfo *infos = XRRGetMonitors(display.get(), DefaultRootWindow(display.get()), True, &count);
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo &info = infos[i];
        if (info.width <= 0 || info.height <= 0)
            continue;
        const TRect place{info.x, info.y, info.x + info.width, info.y + info.height};
        if (info.primary)
            monitors.insert(monitors.begin(), place);
        else
            monitors.push_back(place);
    }
    if (infos != nullptr)
        XRRFreeMonitors(infos);
    return monitors;
}

std::vector<TRect> SdlDisplays()
{
    std::vector<TRect> monitors;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return monitors;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && bounds.w > 0 && bounds.h > 0)
            monitors.push_back(TRect{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h});
    }
    return monitors;
}

} // namespace

std::vector<TRect> DesktopMonitors()
{
    const char *driver = SDL_WasInit(SDL_INIT_VIDEO) != 0 ? SDL_GetCurrentVideoDriver() : nullptr;
    if (driver == nullptr || std::string_view(driver) == "x11") {
        auto monitors = RandrMonitors();
        if (!monitors.empty())
            return monitors;
    }
    return SdlDisplays();
}

} // namespace Halcyra::Platform
