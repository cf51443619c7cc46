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
    static TSoftDisplayDriver driver(LinuxDisplayConfig(), std::make_shared<TSdlPresenter>(), SystemSoftFonts());
    return driver;
}

} // namespace Halcyra::Platform
