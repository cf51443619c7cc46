// The display of Linux: soft surfaces presented through SDL, one primary display driver and one
// device per monitor SDL reports.
#include "platform/Display.h"
#include "platform/linux/SdlPresenter.h"
#include "platform/soft/SoftDisplay.h"

#include <SDL.h>

#include <algorithm>
#include <string>

namespace Halcyra::Platform {

namespace {

// Frames are presented from the frame timer's thread, so the saver window's framebuffer must be
// SDL's software one, never an OpenGL texture bound to the thread that made it. SDL decides this
// once per process, when the first window surface is made (the application paints its new window
// black that way), so the hint is set as the program loads, before any window exists.
const bool SoftwareFramebufferHint = SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0") == SDL_TRUE;

TSoftDisplayConfig LinuxDisplayConfig()
{
    TSoftDisplayConfig config;
    int monitors = 1;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
        monitors = std::max(1, SDL_GetNumVideoDisplays());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    config.Monitors = monitors;
    for (int i = 0; i < monitors; ++i) {
        TDeviceGuid guid;
        guid.Bytes[0] = 0x48;
        guid.Bytes[15] = static_cast<std::uint8_t>(i + 1);
        config.Devices.push_back(TSoftDeviceInfo{guid, "Display " + std::to_string(i + 1), "display" + std::to_string(i + 1)});
    }
    return config;
}

} // namespace

IDisplayDriver &SystemDisplay()
{
    (void)SoftwareFramebufferHint;
    static TSoftDisplayDriver driver(LinuxDisplayConfig(), std::make_shared<TSdlPresenter>(), SystemSoftFonts());
    return driver;
}

} // namespace Halcyra::Platform
