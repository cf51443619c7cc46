// Windows backend of foreign windows: any HWND, drawn into through its device context.
#include "platform/ForeignWindow.h"

#include <windows.h>

namespace Halcyra::Platform {
namespace {

class TWin32ForeignWindows final : public IForeignWindows {
public:
    TForeignWindowState State(TWindowHandle window) override
    {
        HWND handle = reinterpret_cast<HWND>(window);
        if (!IsWindow(handle))
            return TForeignWindowState::Gone;
        return IsWindowVisible(handle) ? TForeignWindowState::Visible : TForeignWindowState::Hidden;
    }

    bool DrawBitmap(TWindowHandle window, const Imaging::TBitmap32 &bitmap) override
    {
        HWND handle = reinterpret_cast<HWND>(window);
        HDC dc = GetDC(handle);
        if (dc == nullptr)
            return false;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = bitmap.Width();
        info.bmiHeader.biHeight = -bitmap.Height(); // rows top-down, as the bitmap keeps them
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        int lines = SetDIBitsToDevice(dc, 0, 0, bitmap.Width(), bitmap.Height(), 0, 0, 0, bitmap.Height(), bitmap.Row(0),
                                      &info, DIB_RGB_COLORS);
        ReleaseDC(handle, dc);
        return lines > 0;
    }
};

} // namespace

IForeignWindows &DesktopWindows()
{
    static TWin32ForeignWindows windows;
    return windows;
}

} // namespace Halcyra::Platform
