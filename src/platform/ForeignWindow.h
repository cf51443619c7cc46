// Windows of other processes: the host's small preview window that the preview mode draws into.
#pragma once

#include "imaging/Bitmap32.h"
#include "platform/Application.h"

namespace Halcyra::Platform {

enum class TForeignWindowState {
    Hidden,  // exists but is not shown yet
    Visible, // exists and is shown
    Gone     // does not exist (never did, or was destroyed)
};

class IForeignWindows {
public:
    virtual ~IForeignWindows() = default;

    // Whether the window exists and is shown.
    virtual TForeignWindowState State(TWindowHandle window) = 0;
    // Draws the bitmap once, unscaled, with its top-left corner at the window's client origin;
    // false when the window cannot be drawn into.
    virtual bool DrawBitmap(TWindowHandle window, const Imaging::TBitmap32 &bitmap) = 0;
};

// The windows of this desktop (Windows: any HWND; Linux: any X11 window of the display).
IForeignWindows &DesktopWindows();

} // namespace Halcyra::Platform
