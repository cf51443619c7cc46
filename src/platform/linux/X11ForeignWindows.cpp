// Linux backend of foreign windows: any X11 window of the display, as a screensaver host hands one
// to the program that draws into it.
#include "platform/ForeignWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <memory>

namespace Halcyra::Platform {
namespace {

// Xlib reports a window that does not exist through the error handler, not through the call.
thread_local bool GBadWindow = false;

int RecordError(Display *, XErrorEvent *event)
{
    if (event->error_code == BadWindow || event->error_code == BadDrawable || event->error_code == BadMatch)
        GBadWindow = true;
    return 0;
}

struct TDisplayCloser {
    void operator()(Display *display) const { XCloseDisplay(display); }
};

class TX11ForeignWindows final : public IForeignWindows {
public:
    TForeignWindowState State(TWindowHandle window) override
    {
        Display *display = Connection();
        if (display == nullptr)
            return TForeignWindowState::Gone;
        XWindowAttributes attributes;
        auto previous = XSetErrorHandler(RecordError);
        GBadWindow = false;
        Status status = XGetWindowAttributes(display, static_cast<Window>(window), &attributes);
        XSync(display, False);
        XSetErrorHandler(previous);
        if (status == 0 || GBadWindow)
            return TForeignWindowState::Gone;
        return attributes.map_state == IsViewable ? TForeignWindowState::Visible : TForeignWindowState::Hidden;
    }

    bool DrawBitmap(TWindowHandle window, const Imaging::TBitmap32 &bitmap) override
    {
        Display *display = Connection();
        if (display == nullptr)
            return false;
        XWindowAttributes attributes;
        auto previous = XSetErrorHandler(RecordError);
        GBadWindow = false;
        bool drawn = false;
        if (XGetWindowAttributes(display, static_cast<Window>(window), &attributes) != 0 && !GBadWindow &&
            attributes.depth >= 24) {
            // XDestroyImage frees the pixels with free(), so they are allocated the same way.
            const std::size_t rowBytes = static_cast<std::size_t>(bitmap.Width()) * 4;
            char *pixels = static_cast<char *>(std::malloc(rowBytes * bitmap.Height()));
            XImage *image = pixels == nullptr ? nullptr
                                              : XCreateImage(display, attributes.visual, attributes.depth, ZPixmap, 0, pixels,
                                                             bitmap.Width(), bitmap.Height(), 32, 0);
            if (image == nullptr) {
                std::free(pixels);
            } else {
                for (int y = 0; y < bitmap.Height(); ++y) {
                    for (int x = 0; x < bitmap.Width(); ++x)
                        XPutPixel(image, x, y, bitmap.GetPixel(x, y));
                }
                GC gc = XCreateGC(display, static_cast<Window>(window), 0, nullptr);
                XPutImage(display, static_cast<Window>(window), gc, image, 0, 0, 0, 0, bitmap.Width(), bitmap.Height());
                XFreeGC(display, gc);
                XDestroyImage(image);
                XSync(display, False);
                drawn = !GBadWindow;
            }
        }
        XSetErrorHandler(previous);
        return drawn;
    }

private:
    Display *Connection()
    {
        if (!FDisplay)
            FDisplay.reset(XOpenDisplay(nullptr));
        return FDisplay.get();
    }

    std::unique_ptr<Display, TDisplayCloser> FDisplay;
};

} // namespace

IForeignWindows &DesktopWindows()
{
    static TX11ForeignWindows windows;
    return windows;
}

} // namespace Halcyra::Platform
